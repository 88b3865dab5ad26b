; Tunecaster's Windows installer.
;
; By default it installs for the current user only and needs no administrator
; rights: the DLL goes to %LOCALAPPDATA%\Tunecaster and is registered under
; HKCU\Software\Classes. Run elevated with /ALLUSERS it installs to Program
; Files and registers the plug-in machine-wide instead; then only a folder
; inside a program folder is accepted, since every user's Messenger loads the
; DLL from there. Either way the setup writes the registration as data and
; never runs the DLL (see "Registration" below). A run with administrator
; rights trusts no path in a folder that the user can write (see
; "Administrator rights" below).
;
; Built by scripts/release.sh, which passes:
;   /DDLL=<the DLL>  /DOUTFILE=<setup.exe>
;   /DIDENTITY=<identity.nsh>, the product's name, version, publisher,
;   class, library and interface identifiers, ProgIDs, settings key and
;   registration trees, as the build generated them from the one place they
;   are stated.
;   /DSIGN=<command> when the release is signed: it signs, in place, the
;   uninstaller that the setup carries (and writes at install time).
; The identifiers let the uninstaller remove the registration even when the
; DLL can no longer do that itself (deleted or damaged by hand). For the same
; reason the uninstaller carries its own copy of the DLL, with which it gives
; the user's own quick text 09 back.
;
; Windows 7 is the oldest Windows it installs on, as for the DLL.
; One install per scope (per user, all users): a second run updates the
; install its uninstall entry names, in place or, given another folder, by
; moving it there. An uninstaller takes away a registration or an uninstall
; entry only while it points into its own folder, and an install for one
; user only from the account whose uninstall entry names its folder.
;
; Setup switches:
;   /S                silent
;   /ALLUSERS         install for all users (needs an elevated run)
;   /ALLOWDOWNGRADE   replace a newer installed version without asking
;   /D=<folder>       install folder (last on the command line, no quotes)
; Uninstaller switches:
;   /S                silent
;   /REMOVESETTINGS   also remove the user's own settings (a tick box when
;                     run with its pages)
;   _?=<folder>       run in place and return the real exit code (the
;                     registered uninstall commands use it)
;   /ELEVATED=<handle>  (its own) the run that an all-users uninstall without
;                     administrator rights starts with them; it writes on in
;                     the first run's log, through that run's handle
;   /CLEANUP=<handle> [/AFTER=<handle>]  (its own) the copy that deletes the
;                     uninstaller run in place once those processes (handed
;                     down to it) have ended
;
; Setup exit codes besides 0: 2 the DLL could not be written, 3 it could not
; be registered, 32 the installed DLL is in use (Messenger runs; nothing
; changed), 161 an all-users folder given with /D= outside the program
; folders, 350 a restart is pending that would delete the files it installs
; and it may not take that back (no administrator rights; nothing changed),
; 740 not elevated for an all-users install, 1150 Windows older than
; Windows 7, 1638 a newer version is installed (silent without
; /ALLOWDOWNGRADE, or the user declined), 3010 installed, but a file of the
; earlier install goes only at the next restart. Uninstaller: 32 the DLL is
; in use (nothing changed), 161 no install of this account in its folder
; (its run with administrator rights: no all-users install there), 740 an
; all-users uninstall that could not get elevated, 1013 a quick text could
; not be given back (the rest is uninstalled), 1223 the user declined the
; elevation, 3010 uninstalled, but a file goes only at the next restart.
; Both write a plain log to %TEMP%: "<product> setup.log" and "<product>
; uninstall.log" without administrator rights, a new "<product> setup
; <eight digits>.log" (or uninstall) every time with them.
;
; For the tests, in the environment: TC_TEST_AS_STANDARD_USER=1 makes a run
; take the road of a user without administrator rights (MayActAsAdmin);
; TC_TEST_SESSION_ACCOUNT=<DOMAIN\name> makes it take that for the account
; signed in to the session (SessionAccount). Neither ever makes a run less
; careful: the first only makes it ask for rights or refuse, the second only
; makes it leave every account's own data alone.

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The same sources give the same setup, byte for byte: no file times inside.
SetDateSave off
ManifestDPIAware true

!ifndef DLL
  !error "Pass the DLL to package: /DDLL=<path>"
!endif
!ifndef IDENTITY
  !error "Pass the product's identity: /DIDENTITY=<build>/gen/identity/identity.nsh"
!endif
!include "${IDENTITY}"
!ifndef OUTFILE
  !define OUTFILE "${PRODUCT}Setup-${VERSION}.exe"
!endif
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!define UNINST_LIST "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINST_KEY "${UNINST_LIST}\${PRODUCT}"
!define UNINSTALLER "Uninstall ${PRODUCT}.exe"
; What the setup before this one called its uninstaller. A file of that name
; is removed only where our own uninstall entry names it: in any other
; folder it is another program's.
!define OLD_UNINSTALLER "Uninstall.exe"
; Exit codes are Windows' own error codes where one says what went wrong:
; "The requested operation requires elevation."
!define ERROR_ELEVATION_REQUIRED 740
; "The process cannot access the file because it is being used by another process."
!define ERROR_SHARING_VIOLATION 32
; "The specified path is invalid."
!define ERROR_BAD_PATHNAME 161
; "The configuration registry key could not be written."
!define ERROR_CANTWRITE 1013
; "The specified program requires a newer version of Windows."
!define ERROR_OLD_WIN_VERSION 1150
; "Another version of this product is already installed."
!define ERROR_PRODUCT_VERSION 1638
; "The operation was canceled by the user."
!define ERROR_CANCELLED 1223
; "No action was taken as a system reboot is required."
!define ERROR_FAIL_NOACTION_REBOOT 350
; "The requested operation is successful. Changes will not be effective
; until the system is rebooted." Windows' installers report a file left to
; the next restart so, and deployment tools know it.
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010
; Where Windows keeps what it deletes or renames at the next restart.
!define SESSION_MANAGER "SYSTEM\CurrentControlSet\Control\Session Manager"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "WinVer.nsh"
!include "Sections.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Var AllUsers     ; "1" for an all-users install
Var Account      ; the Windows account this run belongs to, DOMAIN\name
Var Whose        ; for whom the setup installs, as the folder page says it
Var Log          ; the plain log in %TEMP%
; The install of this scope that the uninstall entry names, if any: its
; folder, version, and the command that uninstalls it.
Var OldDir
Var OldVersion
Var OldUninstaller
; What the install folder and the registry held before this run, so that a
; failed run takes away only what it put there ("1" when present).
Var HadFolder
Var HadDll
Var HadUninstaller
Var HadTrees     ; one digit per registration tree, in REGISTRATION_TREES order
Var QuickTextsKept ; "1" when a quick text could not be given back
Var Lock         ; the uninstaller's handle on the DLL, which keeps it from loading
Var Pin          ; a handle that keeps $PLUGINSDIR where it is (PinPluginsDir)
Var Hold         ; a handle that keeps the clean-up copy's folder (FreshFolder)
Var Deferred     ; "1" once a file is left to the next restart
Var RegNoted     ; "1" once the registration's values before this run are noted
Var RegFailed    ; "1" when a value of the registration could not be written
; "1" when the uninstall may give this account's quick text back and remove
; its settings: the account it was started for (un.CheckStartedFor).
Var UserData
; The uninstaller's part in an all-users uninstall started without
; administrator rights: "asker" for the run that asks for them, "elevated"
; for the run it starts with them, "" for a run that does all of it.
Var Role
Var FirstPid     ; in the "elevated" run, the process id of the run that asked

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

; Whose profile a run with administrator rights installs into is said
; before anything is written (.onInit sets it).
!define MUI_DIRECTORYPAGE_TEXT_TOP "$Whose"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The plug-in does nothing and says nothing until its options were saved
; once: every new user meets that first.
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed, but nothing changes yet.$\r$\n$\r$\nStart Messenger, type /xwinampoptions into a conversation window and send it, choose how your name should look and press Save!!! once. From then on, about two seconds after Winamp starts a song, your display name says that you are listening.$\r$\n$\r$\nTo remove it, choose ${PRODUCT} in Apps & features (Programs and Features on Windows 7) and Uninstall."
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Your own ${PRODUCT} settings (naming mode, names and tags) are kept, so that a later installation finds them again. Tick the box to remove them too."
; The run with administrator rights that the first run starts (it has shown
; these pages) shows only its progress.
!define MUI_PAGE_CUSTOMFUNCTION_PRE un.SkipInElevatedRun
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_CUSTOMFUNCTION_PRE un.SkipInElevatedRun
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; --- Administrator rights ----------------------------------------------------
;
; A run with administrator rights opens, writes, starts and loads nothing by
; a name in a folder that the user's own programs can write, and %TEMP% is
; one, also an administrator's own: such a program could have put a link
; there, or swap the file in between, and so have administrator rights
; write or run what it chose. What such a run needs in %TEMP% goes into a
; new file or folder whose name nobody could know beforehand, and a folder
; that something is run or loaded from is held from its creation.

; $0 becomes "1" when this process has administrator rights: its token
; holds the Administrators group (not so under User Account Control until
; Windows has asked). All that keeps such a run safe goes by this alone.
!macro IsAdminFunction un
Function ${un}IsAdmin
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  ; SECURITY_MAX_SID_SIZE bytes for WinBuiltinAdministratorsSid
  System::Alloc 68
  Pop $1
  System::Call 'advapi32::CreateWellKnownSid(i 26, p 0, p r1, *i 68) i .r2'
  ${If} $2 != 0
    System::Call 'advapi32::CheckTokenMembership(p 0, p r1, *i .r3) i .r2'
    ${If} $2 != 0
    ${AndIf} $3 != 0
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
  System::Free $1
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; $0 becomes "1" when this run may act with administrator rights, "0" when
; it has to ask for them or refuse. TC_TEST_AS_STANDARD_USER=1 in the
; environment makes a run take the road of a user without them, as the tests
; need under Wine, where every program has them. It only ever makes a run
; ask for rights or refuse, never a run with rights less careful (IsAdmin).
Function ${un}MayActAsAdmin
  Call ${un}IsAdmin
  ReadEnvStr $1 TC_TEST_AS_STANDARD_USER
  ${If} $1 == 1
    StrCpy $0 0
  ${EndIf}
FunctionEnd

; $0 becomes eight hexadecimal digits that nobody can know beforehand.
Function ${un}Unguessable
  System::Call 'ole32::CoCreateGuid(g .r0) i'
  StrCpy $0 $0 8 1
FunctionEnd

; $0 becomes the Windows account this process runs as, DOMAIN\name ("" when
; Windows does not say).
Function ${un}AccountName
  Push $1
  ; NameSamCompatible
  System::Call 'secur32::GetUserNameExW(i 2, w .r0, *i ${NSIS_MAX_STRLEN}) i .r1'
  ${If} $1 == 0
    StrCpy $0 ""
  ${EndIf}
  Pop $1
FunctionEnd

; $0 becomes the account signed in to the Windows session this process
; runs in, DOMAIN\name, or "" when nobody is (a service's session, where a
; deployment tool runs). Windows gives a run administrator rights under
; another account when the user types that account's password at the
; prompt. TC_TEST_SESSION_ACCOUNT in the environment stands in for it, for
; the tests under Wine, which has one account: it can only make the run see
; another account than its own, and so leave every account's data alone.
Function ${un}SessionAccount
  Push $1
  Push $2
  Push $3
  Push $4
  ReadEnvStr $0 TC_TEST_SESSION_ACCOUNT
  ${If} $0 == ""
    ; WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName (5) and
    ; WTSDomainName (7)
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r1, *i .r2) i .r3'
    ${If} $3 != 0
      System::Call 'kernel32::lstrcpynW(w .r4, p r1, i ${NSIS_MAX_STRLEN})'
      System::Call 'wtsapi32::WTSFreeMemory(p r1)'
      ${If} $4 != ""
        System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r1, *i .r2) i .r3'
        ${If} $3 != 0
          System::Call 'kernel32::lstrcpynW(w .r0, p r1, i ${NSIS_MAX_STRLEN})'
          System::Call 'wtsapi32::WTSFreeMemory(p r1)'
          StrCpy $0 "$0\$4"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro IsAdminFunction ""
!insertmacro IsAdminFunction "un."

; Makes a new folder in %TEMP% for the clean-up copy and holds it from the
; moment it exists: Windows creates it and hands back a handle in one step
; (NtCreateFile with FILE_CREATE), a handle that does not share deleting,
; so that nobody can rename or remove the folder while it is open. $Hold is
; that handle, inheritable: the copy started with it holds the folder for
; as long as it runs. With administrator rights, only administrators and the
; system may change what is in it. $0 is the folder's path ("" when none
; could be made).
Function un.FreshFolder
  StrCpy $Hold ""
  Call un.IsAdmin
  StrCpy $4 0
  ${If} $0 == 1
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", i 1, *p .r4, p 0) i .r0'
    ${If} $0 == 0
      StrCpy $0 ""
      Return
    ${EndIf}
  ${EndIf}
  System::Call 'kernel32::GetFullPathNameW(w "$TEMP", i ${NSIS_MAX_STRLEN}, w .r6, p 0) i .r0'
  StrCpy $0 $6 1 -1
  ${If} $0 == "\"
    StrCpy $6 $6 -1
  ${EndIf}
  ; IO_STATUS_BLOCK
  System::Call '*(i, p) p .r7'
  ${ForEach} $1 1 20 + 1
    Call un.Unguessable
    StrCpy $2 "$6\${PRODUCT} $0"
    StrCpy $3 "\??\$2"
    StrLen $0 $3
    IntOp $0 $0 * 2
    IntOp $9 $0 + 2
    System::Call '*(&w${NSIS_MAX_STRLEN} "$3") p .r3'
    ; UNICODE_STRING; OBJECT_ATTRIBUTES with OBJ_INHERIT | OBJ_CASE_INSENSITIVE
    System::Call '*(&i2 r0, &i2 r9, p r3) p .r5'
    System::Call '*(i 24, p 0, p r5, i 0x42, p r4, p 0) p .r8'
    ; FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
    ; no attributes, FILE_SHARE_READ | FILE_SHARE_WRITE (never delete),
    ; FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT
    System::Call 'ntdll::NtCreateFile(*p .r9, i 0x1000A1, p r8, p r7, p 0, i 0, i 3, i 2, i 0x21, p 0, i 0) i .r0'
    System::Free $8
    System::Free $5
    System::Free $3
    ${If} $0 == 0
      StrCpy $Hold $9
      ${Break}
    ${EndIf}
  ${Next}
  System::Free $7
  ${If} $4 != 0
    System::Call 'kernel32::LocalFree(p r4)'
  ${EndIf}
  ${If} $Hold != ""
    StrCpy $0 $2
  ${Else}
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

; $0 becomes "1" when the path $2 leads to the very folder that $Hold holds
; (the same volume and file index), and not through a link in its place:
; a folder of the same name elsewhere (%TEMP% turned into a link to
; another place, say) is not it.
Function un.IsHeldFolder
  StrCpy $0 0
  ; FILE_READ_ATTRIBUTES, share all, OPEN_EXISTING,
  ; FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT
  System::Call 'kernel32::CreateFileW(w r2, i 0x80, i 7, p 0, i 3, i 0x02200000, p 0) p .r3'
  ${If} $3 == -1
    Return
  ${EndIf}
  ; BY_HANDLE_FILE_INFORMATION, twice
  System::Call '*(&i52) p .r4'
  System::Call '*(&i52) p .r5'
  System::Call 'kernel32::GetFileInformationByHandle(p $Hold, p r4) i .r6'
  System::Call 'kernel32::GetFileInformationByHandle(p r3, p r5) i .r7'
  System::Call 'kernel32::CloseHandle(p r3)'
  ${If} $6 != 0
  ${AndIf} $7 != 0
    System::Call '*$4(i, i, i, i, i, i, i, i .r6, i, i, i, i .r7, i .r8)'
    System::Call '*$5(i .r9, i, i, i, i, i, i, i .r1, i, i, i, i .r3, i .s)'
    Pop $2
    IntOp $9 $9 & 0x400 ; FILE_ATTRIBUTE_REPARSE_POINT
    ${If} $9 == 0
    ${AndIf} $6 == $1
    ${AndIf} $7 == $3
    ${AndIf} $8 == $2
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
  System::Free $4
  System::Free $5
FunctionEnd

; NSIS makes the plug-ins folder ($PLUGINSDIR: the setup unpacks the DLL it
; installs there, the uninstaller the one that gives the quick texts back)
; as a new folder in %TEMP%, for administrators only when the run has their
; rights. A handle that does not share deleting keeps it where it is for
; the rest of the run (EndRun lets go, so that NSIS can remove it).
!macro PinPluginsDir
  InitPluginsDir
  ; FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
  ; FILE_FLAG_BACKUP_SEMANTICS (a folder)
  System::Call 'kernel32::CreateFileW(w "$PLUGINSDIR", i 0x80, i 3, p 0, i 3, i 0x02000000, p 0) i .r0'
  StrCpy $Pin $0
!macroend

; Before the run ends, in every way it can.
!macro EndRun
  ${If} $Pin != ""
  ${AndIf} $Pin != -1
    System::Call 'kernel32::CloseHandle(i $Pin)'
  ${EndIf}
  StrCpy $Pin ""
  ${If} $Hold != ""
    System::Call 'kernel32::CloseHandle(p $Hold)'
  ${EndIf}
  StrCpy $Hold ""
  ${If} $Log != ""
    FileClose $Log
  ${EndIf}
  StrCpy $Log ""
!macroend

; --- Log ---------------------------------------------------------------------

; A line in the details and in the plain log: the details window is gone
; when a silent run or a deployment tool needs to know what happened.
!macro Log text
  DetailPrint "${text}"
  FileWrite $Log "${text}$\r$\n"
!macroend

; Opens the plain log of this run in %TEMP%: "<product> NAME.log" without
; administrator rights. With them, a name that a program of the user's
; could have prepared is out of the question: every run makes a new file,
; "<product> NAME <eight digits>.log", and a link in its place fails the
; creation rather than being followed. The run with rights that the
; uninstaller starts writes on in the log of the run that asked for them.
!macro OpenLog un name
  StrCpy $Log ""
  Call ${un}IsAdmin
  ${If} $0 == 1
    ${ForEach} $1 1 20 + 1
      Call ${un}Unguessable
      ; GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
      ; FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL
      System::Call 'kernel32::CreateFileW(w "$TEMP\${PRODUCT} ${name} $0.log", i 0x40000000, i 1, p 0, i 1, i 0x00200080, p 0) i .r2'
      ${If} $2 != -1
        StrCpy $Log $2
        ${Break}
      ${EndIf}
    ${Next}
  ${Else}
    FileOpen $Log "$TEMP\${PRODUCT} ${name}.log" w
  ${EndIf}
  !insertmacro LogHeader ${name}
!macroend

!macro LogHeader name
  ${GetParameters} $0
  FileWrite $Log "${PRODUCT} ${VERSION} ${name}$\r$\n"
  FileWrite $Log "command line: $0$\r$\n"
!macroend

; Stops with CODE after saying MESSAGE to the user (unless silent) and in
; the log. In .onInit and un.onInit only; sections use Abort.
!macro QuitWith code message
  !insertmacro Log "${message}"
  !insertmacro Log "exit code ${code}"
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel ${code}
  !insertmacro EndRun
  Quit
!macroend

; The same without a message, for an answer the user has just given.
!macro LeaveWith code message
  !insertmacro Log "${message}"
  !insertmacro Log "exit code ${code}"
  SetErrorLevel ${code}
  !insertmacro EndRun
  Quit
!macroend

; The same in a section: the rest of the run is skipped.
!macro AbortWith code message
  !insertmacro Log "${message}"
  !insertmacro Log "exit code ${code}"
  SetErrorLevel ${code}
  Abort "${message}"
!macroend

; The same, telling the user too.
!macro AbortTellingWith code message
  !insertmacro Log "${message}"
  !insertmacro Log "exit code ${code}"
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel ${code}
  Abort "${message}"
!macroend

; --- Registration --------------------------------------------------------------
;
; The setup writes the plug-in's registration as data and never runs the
; DLL for it. Registering it through the DLL (regsvr32, DllRegisterServer)
; loads it the way COM does, and Windows then looks for the DLLs it needs in
; its own folder first: for an install for one user that folder lies in the
; user's profile, where any program of theirs can put a DLL of its own
; beside it, or swap the plug-in between the copy and the registration. A
; setup with administrator rights would run that code with them. The type
; library is registered the same way, as keys, without loading it.
;
; The keys and values are those that the DLL's own registration writes
; (plugin/Registration.cpp), under the trees of REGISTRATION_TREES, the one
; list of them; the installer's tests compare what the setup writes with
; what the DLL writes, value for value.

; TREE_<n>: the n-th registration tree, as the build lists them.
!macro DefineTree index tree
  !define TREE_${index} "${tree}"
!macroend
!insertmacro REGISTRATION_TREES DefineTree

; Inserts ACTION with each value of the registration: its place in the
; list, its key, its name ("" for the key's default value), its data, and
; "value"; or, for a key that holds no value of its own but that the
; registration creates, its key and "key". A key comes before the key it
; lies in, so that undoing in the same order finds each key empty when its
; turn comes.
;
; The type library is registered under locale 0, not under its own 0x409:
; a lookup for the user's locale falls back to the language and then to 0,
; never to English. Its interface is marshalled by OLE Automation's own
; marshaler, {00020424-...}.
!macro REGISTRATION_VALUES action
  !insertmacro ${action} 0 "${TREE_0}\InprocServer32" "" "$INSTDIR\${DLL_FILE}" value
  !insertmacro ${action} 1 "${TREE_0}\InprocServer32" "ThreadingModel" "Apartment" value
  !insertmacro ${action} 2 "${TREE_0}\ProgID" "" "${PROGID_VERSIONED}" value
  !insertmacro ${action} 3 "${TREE_0}\VersionIndependentProgID" "" "${PROGID}" value
  !insertmacro ${action} 4 "${TREE_0}\TypeLib" "" "${LIBID}" value
  !insertmacro ${action} 5 "${TREE_0}\Version" "" "${TYPELIB_VERSION}" value
  !insertmacro ${action} 6 "${TREE_0}" "" "${CLASS_DESCRIPTION}" value
  !insertmacro ${action} 7 "${TREE_1}\CLSID" "" "${CLSID}" value
  !insertmacro ${action} 8 "${TREE_1}\CurVer" "" "${PROGID_VERSIONED}" value
  !insertmacro ${action} 9 "${TREE_1}" "" "${CLASS_DESCRIPTION}" value
  !insertmacro ${action} 10 "${TREE_2}\CLSID" "" "${CLSID}" value
  !insertmacro ${action} 11 "${TREE_2}" "" "${CLASS_DESCRIPTION}" value
  !insertmacro ${action} 12 "${TREE_3}\${TYPELIB_VERSION}\0\win32" "" "$INSTDIR\${DLL_FILE}" value
  !insertmacro ${action} 13 "${TREE_3}\${TYPELIB_VERSION}\0" "" "" key
  !insertmacro ${action} 14 "${TREE_3}\${TYPELIB_VERSION}\FLAGS" "" "0" value
  !insertmacro ${action} 15 "${TREE_3}\${TYPELIB_VERSION}" "" "${PRODUCT}" value
  !insertmacro ${action} 16 "${TREE_3}" "" "" key
  !insertmacro ${action} 17 "${TREE_4}\ProxyStubClsid" "" "{00020424-0000-0000-C000-000000000046}" value
  !insertmacro ${action} 18 "${TREE_4}\ProxyStubClsid32" "" "{00020424-0000-0000-C000-000000000046}" value
  !insertmacro ${action} 19 "${TREE_4}\TypeLib" "" "${LIBID}" value
  !insertmacro ${action} 20 "${TREE_4}\TypeLib" "Version" "${TYPELIB_VERSION}" value
  !insertmacro ${action} 21 "${TREE_4}" "" "_PlayerPlugin" value
!macroend

; What each key and value was before this run, to put back if it fails.
!macro DeclareEntry index key name data kind
  Var RegHadKey${index}
  !if "${kind}" == "value"
    Var RegHadValue${index}
    Var RegOld${index}
  !endif
!macroend
!insertmacro REGISTRATION_VALUES DeclareEntry

!macro NoteEntry index key name data kind
  ClearErrors
  EnumRegKey $0 SHCTX "${key}" 0
  ${If} ${Errors}
    StrCpy $RegHadKey${index} 0
  ${Else}
    StrCpy $RegHadKey${index} 1
  ${EndIf}
  !if "${kind}" == "value"
    StrCpy $RegHadValue${index} 0
    ClearErrors
    ReadRegStr $RegOld${index} SHCTX "${key}" "${name}"
    ${IfNot} ${Errors}
      StrCpy $RegHadValue${index} 1
    ${EndIf}
  !endif
!macroend

; Writes until the first value that cannot be written ($RegFailed).
!macro WriteEntry index key name data kind
  !if "${kind}" == "value"
    ${If} $RegFailed != 1
      ClearErrors
      WriteRegStr SHCTX "${key}" "${name}" "${data}"
      ${If} ${Errors}
        StrCpy $RegFailed 1
        !insertmacro Log "Could not write ${key} [${name}]."
      ${EndIf}
    ${EndIf}
  !endif
!macroend

!macro RestoreEntry index key name data kind
  !if "${kind}" == "value"
    ${If} $RegHadValue${index} == 1
      WriteRegStr SHCTX "${key}" "${name}" $RegOld${index}
    ${Else}
      DeleteRegValue SHCTX "${key}" "${name}"
    ${EndIf}
  !endif
  ${If} $RegHadKey${index} != 1
    DeleteRegKey /ifempty SHCTX "${key}"
  ${EndIf}
!macroend

; Actions on the registration trees (REGISTRATION_TREES, in the identity):
; removing them undoes registration completely.
!macro DeleteTree index tree
  DeleteRegKey SHCTX "${tree}"
!macroend
!macro NoteTree index tree
  ClearErrors
  EnumRegKey $0 SHCTX "${tree}" 0
  ${If} ${Errors}
    StrCpy $HadTrees "$HadTrees0"
  ${Else}
    StrCpy $HadTrees "$HadTrees1"
  ${EndIf}
!macroend
!macro DeleteTreeIfNew index tree
  StrCpy $0 $HadTrees 1 ${index}
  ${If} $0 != 1
    DeleteRegKey SHCTX "${tree}"
  ${EndIf}
!macroend

; --- The next restart ------------------------------------------------------------

; Leaves FILE (a file, or a folder that will be empty by then) to be deleted
; at the next restart, as Windows allows only to administrators, and says
; so. $Deferred becomes "1" when Windows took it: the run then ends with
; ERROR_SUCCESS_REBOOT_REQUIRED.
!macro DeferDeleteFunction un
Function ${un}DeferDelete
  Exch $R9
  Push $0
  ; MOVEFILE_DELAY_UNTIL_REBOOT, no new name: delete
  System::Call 'kernel32::MoveFileExW(w R9, p 0, i 4) i .r0'
  ${If} $0 != 0
    StrCpy $Deferred 1
    !insertmacro Log "$R9 could not be removed now: Windows deletes it at the next restart."
  ${Else}
    !insertmacro Log "$R9 could not be removed, and stays: only administrators can have Windows delete it at the next restart. Delete it by hand once nothing uses it."
  ${EndIf}
  Pop $0
  Pop $R9
FunctionEnd
!macroend
!insertmacro DeferDeleteFunction ""
!insertmacro DeferDeleteFunction "un."

; Deletes FILE now, or else at the next restart.
!macro DeleteNowOrAtRestart un file
  Delete "${file}"
  ${If} ${FileExists} "${file}"
    Push "${file}"
    Call ${un}DeferDelete
  ${EndIf}
!macroend

; --- Messenger running -------------------------------------------------------

; $0 becomes "1" when no process has the DLL at $R9 loaded (or there is
; none). Windows does not let a file that is mapped as a program image be
; opened for writing (nor deleted), and Wine behaves the same; renaming
; would succeed on Windows and tell nothing.
!macro DllFreeFunction un
Function ${un}DllFree
  StrCpy $0 1
  ${If} ${FileExists} $R9
    ClearErrors
    FileOpen $1 $R9 a
    ${If} ${Errors}
      StrCpy $0 0
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DllFreeFunction ""
!insertmacro DllFreeFunction "un."

!define IN_USE_QUESTION "Messenger is running and has ${PRODUCT} loaded, so ${PRODUCT} cannot be changed now.$\r$\n$\r$\nClose Messenger (exit it, also from the notification area), then choose Retry."

; Asks the user to close Messenger, with Retry and Cancel, for as long as
; the function CHECK finds the DLL loaded (it sets $0 to "1" once it is
; free): $0 is "1" then, or "0" when the user cancelled (always, when
; silent). The setup and the uninstaller ask the same everywhere.
!macro AwaitDllFree check
  ${Do}
    Call ${check}
    ${If} $0 == 1
      ${ExitDo}
    ${EndIf}
    !insertmacro Log "The installed DLL is in use: Messenger is running."
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${IN_USE_QUESTION}" /SD IDCANCEL IDRETRY`
      StrCpy $0 0
      ${ExitDo}
    ${EndIf}
  ${Loop}
!macroend

; $0 becomes "1" when neither the DLL at $R9 nor the one at $R8 (may be
; empty) is loaded.
Function DllsFree
  Call DllFree
  ${If} $0 == 1
  ${AndIf} $R8 != ""
    Push $R9
    StrCpy $R9 $R8
    Call DllFree
    Pop $R9
  ${EndIf}
FunctionEnd

; Waits for the user to close Messenger while the DLL at $R9 or at $R8 is
; loaded: $0 is "1" when both are free, "0" when the user cancelled.
Function AwaitDllsFree
  !insertmacro AwaitDllFree DllsFree
FunctionEnd

; --- Setup -------------------------------------------------------------------

Function .onInit
  !insertmacro PinPluginsDir
  !insertmacro OpenLog "" setup
  ${IfNot} ${AtLeastWin7}
    !insertmacro QuitWith ${ERROR_OLD_WIN_VERSION} "${PRODUCT} needs Windows 7 or later. Nothing was installed."
  ${EndIf}
  StrCpy $AllUsers 0
  StrCpy $Deferred 0
  SetShellVarContext current
  Call AccountName
  StrCpy $Account $0
  ; $INSTDIR holds the per-user default unless /D= chose a folder.
  StrCpy $R2 0
  ${If} $INSTDIR == "$LOCALAPPDATA\${PRODUCT}"
    StrCpy $R2 1
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    Call MayActAsAdmin
    ${If} $0 != 1
      !insertmacro QuitWith ${ERROR_ELEVATION_REQUIRED} "Installing ${PRODUCT} for all users needs administrator rights. Run the setup as administrator, or without /ALLUSERS to install it for yourself only."
    ${EndIf}
    StrCpy $AllUsers 1
    SetShellVarContext all
    ${If} $R2 == 1
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}

  ; An earlier install of the same scope is updated where it is, unless a
  ; folder was chosen; then it moves there.
  ReadRegStr $OldDir SHCTX "${UNINST_KEY}" "InstallLocation"
  ReadRegStr $OldVersion SHCTX "${UNINST_KEY}" "DisplayVersion"
  ReadRegStr $OldUninstaller SHCTX "${UNINST_KEY}" "UninstallString"
  ${If} $OldDir != ""
    !insertmacro Log "Installed: version $OldVersion in $OldDir"
  ${EndIf}
  ${If} $R2 == 1
  ${AndIf} $OldDir != ""
    StrCpy $INSTDIR $OldDir
  ${EndIf}

  ${If} $OldVersion != ""
    ${VersionCompare} "${VERSION}" $OldVersion $0
    ${If} $0 == 2
      ClearErrors
      ${GetOptions} $R0 "/ALLOWDOWNGRADE" $R1
      ${If} ${Errors}
        ${If} ${Silent}
          !insertmacro QuitWith ${ERROR_PRODUCT_VERSION} "${PRODUCT} $OldVersion is installed, which is newer than ${VERSION}. Nothing was installed (/ALLOWDOWNGRADE replaces it)."
        ${EndIf}
        ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION "${PRODUCT} $OldVersion is installed, which is newer than this ${VERSION}.$\r$\n$\r$\nReplace it with the older version?" IDNO`
          !insertmacro LeaveWith ${ERROR_PRODUCT_VERSION} "The newer ${PRODUCT} $OldVersion stays installed."
        ${EndIf}
      ${EndIf}
      !insertmacro Log "Replacing the newer version $OldVersion with ${VERSION}."
    ${EndIf}
  ${EndIf}

  ${If} $AllUsers == 1
    Call CheckMachineFolder
    ${If} $0 != ""
      !insertmacro QuitWith ${ERROR_BAD_PATHNAME} $0
    ${EndIf}
  ${EndIf}

  Call SayWhose

  ; Asked before the pages, so that nobody fills them in for nothing; asked
  ; again right before anything is written.
  Call InstalledDlls
  Call AwaitDllsFree
  ${If} $0 != 1
    !insertmacro LeaveWith ${ERROR_SHARING_VIOLATION} "Nothing was installed: Messenger has ${PRODUCT} loaded."
  ${EndIf}
FunctionEnd

; Says, in the log and on the folder page ($Whose), for whom the setup
; installs. A run with administrator rights installs for one user into the
; profile of the account that Windows gave the rights to, which is another
; than the one signed in when the user typed another administrator's
; password at the prompt: it says whose, before anything is written.
Function SayWhose
  ${If} $AllUsers == 1
    StrCpy $Whose "Setup installs ${PRODUCT} for all users of this computer, in a program folder that only administrators can change."
    !insertmacro Log "Installing for all users of this computer."
    Return
  ${EndIf}
  StrCpy $Whose "Setup installs ${PRODUCT} for the Windows account $Account alone, in its profile ($PROFILE)."
  Call IsAdmin
  ${If} $0 == 1
    !insertmacro Log "This setup runs with administrator rights, as $Account: it installs ${PRODUCT} for that Windows account alone, in its profile ($PROFILE)."
    StrCpy $Whose "This setup runs with administrator rights, as $Account. It installs ${PRODUCT} for that Windows account alone, in its profile ($PROFILE)."
    Call SessionAccount
    ${If} $0 != $Account
      ${If} $0 == ""
        StrCpy $0 "nobody"
      ${EndIf}
      !insertmacro Log "Signed in to this Windows session is $0, not $Account: $0 does not get ${PRODUCT} from this run."
      StrCpy $Whose "$Whose Signed in is $0, who does not get it: to install it for $0, run the setup without administrator rights."
    ${EndIf}
    StrCpy $Whose "$Whose For all users, run it with /ALLUSERS."
  ${Else}
    !insertmacro Log "Installing for the Windows account $Account alone, in its profile ($PROFILE)."
  ${EndIf}
FunctionEnd

; $R9 and $R8 become the DLLs that a running Messenger may have loaded: the
; one in the install folder and the earlier install's, when elsewhere.
Function InstalledDlls
  StrCpy $R9 "$INSTDIR\${DLL_FILE}"
  StrCpy $R8 ""
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    StrCpy $R8 "$OldDir\${DLL_FILE}"
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  ${If} $AllUsers == 1
    Call CheckMachineFolder
    ${If} $0 != ""
      MessageBox MB_OK|MB_ICONSTOP $0
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

; Every user's Messenger loads an all-users install's DLL, so it must lie
; where only administrators can replace it: inside the 32-bit or the 64-bit
; program folder. $INSTDIR becomes its full path (no "." or ".." left, which
; could lead a prefix test astray) and the test is made on a whole folder
; name, ignoring case as Windows does. A short (8.3) name is refused, on the
; safe side. $0 is left empty when the folder is accepted, else it holds
; the message for the user.
Function CheckMachineFolder
  StrCpy $0 ""
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 == 0
  ${OrIf} $2 >= ${NSIS_MAX_STRLEN}
    StrCpy $0 "$INSTDIR is not a folder that ${PRODUCT} can be installed to."
    Return
  ${EndIf}
  StrCpy $2 $1 1 -1
  ${If} $2 == "\"
    StrCpy $1 $1 -1
  ${EndIf}
  StrCpy $INSTDIR $1
  ${ForEach} $3 0 1 + 1
    ${If} $3 == 0
      StrCpy $4 $PROGRAMFILES32
    ${Else}
      StrCpy $4 $PROGRAMFILES64
    ${EndIf}
    System::Call 'kernel32::GetFullPathNameW(w "$4", i ${NSIS_MAX_STRLEN}, w .r4, p 0) i .r2'
    ${If} $2 != 0
      StrCpy $4 "$4\"
      StrLen $5 $4
      StrLen $6 $INSTDIR
      StrCpy $7 $INSTDIR $5
      ${If} $6 > $5
      ${AndIf} $7 == $4
        Return
      ${EndIf}
    ${EndIf}
  ${Next}
  ; Both folders that the test accepts, by the names Windows shows.
  ${If} $PROGRAMFILES32 == $PROGRAMFILES64
    StrCpy $1 "the program folder ($PROGRAMFILES32)"
  ${Else}
    StrCpy $1 "the 32-bit or the 64-bit program folder ($PROGRAMFILES32 or $PROGRAMFILES64)"
  ${EndIf}
  StrCpy $0 "For all users, ${PRODUCT} must be installed in a folder inside $1, where only administrators can change it: every user's Messenger loads it from there.$\r$\n$\r$\n$INSTDIR is outside. Choose a folder inside, or install without /ALLUSERS for yourself only."
FunctionEnd

; Undoes a half-done install, so that a failed one leaves the install folder
; and the registration as it found them: a DLL and uninstaller that were
; there (an earlier install, or a DLL copied and registered by hand) come
; back byte for byte, and only registration trees that this run created go.
; An earlier install's uninstall entry was never touched.
Function RollBack
  !insertmacro Log "Rolling back."
  ${If} $RegNoted == 1
    !insertmacro REGISTRATION_VALUES RestoreEntry
  ${EndIf}
  !insertmacro REGISTRATION_TREES DeleteTreeIfNew
  ${If} $HadDll == 1
    CopyFiles /SILENT "$PLUGINSDIR\previous.dll" "$INSTDIR\${DLL_FILE}"
  ${Else}
    Delete "$INSTDIR\${DLL_FILE}"
  ${EndIf}
  ${If} $HadUninstaller == 1
    CopyFiles /SILENT "$PLUGINSDIR\previous-uninstaller.exe" "$INSTDIR\${UNINSTALLER}"
  ${Else}
    Delete "$INSTDIR\${UNINSTALLER}"
  ${EndIf}
  ; The folder is our working directory since SetOutPath, and Windows does
  ; not remove a folder that is some process's working directory.
  SetOutPath "$TEMP"
  ${If} $HadFolder != 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; $0 becomes the number of deletes that Windows holds for the next restart
; (an uninstall that found a file in use left them) of the install's own
; files: its DLL, its uninstaller, its folder. With $R0 "1" they are taken
; off Windows' list, which only administrators may change; $1 is then "1"
; once that is done. Any other entry of the list stays as it is.
Function PendingDeletesOfOurs
  StrCpy $0 0
  StrCpy $1 0
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r2, p 0) i .r3'
  ${If} $3 == 0
    StrCpy $2 $INSTDIR
  ${EndIf}
  StrCpy $3 $2 1 -1
  ${If} $3 == "\"
    StrCpy $2 $2 -1
  ${EndIf}
  ; How Windows writes them down: "\??\" and the full path.
  StrCpy $R1 "\??\$2"
  ; KEY_QUERY_VALUE, and KEY_SET_VALUE to take ours off
  StrCpy $3 1
  ${If} $R0 == 1
    StrCpy $3 3
  ${EndIf}
  System::Call 'advapi32::RegOpenKeyExW(p 0x80000002, w "${SESSION_MANAGER}", i 0, i r3, *p .r4) i .r3'
  ${If} $3 != 0
    Return
  ${EndIf}
  ; A list of pairs of strings, each ended by a NUL, the list by one more:
  ; what to rename and its new name, empty to delete.
  System::Call 'advapi32::RegQueryValueExW(p r4, w "PendingFileRenameOperations", p 0, *i .r5, p 0, *i .r6) i .r3'
  ${If} $3 == 0
  ${AndIf} $5 == 7 ; REG_MULTI_SZ
  ${AndIf} $6 > 0
    ; Room for two NULs more than Windows stored, should the list lack its
    ; own; the memory comes zeroed.
    IntOp $7 $6 + 8
    System::Alloc $7
    Pop $7
    IntOp $8 $6 + 8
    System::Alloc $8
    Pop $8
    System::Call 'advapi32::RegQueryValueExW(p r4, w "PendingFileRenameOperations", p 0, p 0, p r7, *i r6 r6) i .r3'
    ${If} $3 == 0
      ; $5 reads, $9 writes, $6 is where the data ends
      StrCpy $5 $7
      StrCpy $9 $8
      IntOp $6 $7 + $6
      ${DoWhile} $5 U< $6
        System::Call 'kernel32::lstrlenW(p r5) i .R2'
        ${If} $R2 == 0
          ${Break}
        ${EndIf}
        System::Call 'kernel32::lstrcpynW(w .R3, p r5, i ${NSIS_MAX_STRLEN})'
        IntOp $R4 $R2 + 1
        IntOp $R4 $R4 * 2
        IntOp $R4 $R4 + $5
        System::Call 'kernel32::lstrlenW(p R4) i .R5'
        IntOp $R6 $R2 + $R5
        IntOp $R6 $R6 + 2
        IntOp $R6 $R6 * 2
        StrCpy $R7 0
        ${If} $R5 == 0
          ${If} $R3 == $R1
          ${OrIf} $R3 == "$R1\${DLL_FILE}"
          ${OrIf} $R3 == "$R1\${UNINSTALLER}"
            StrCpy $R7 1
          ${EndIf}
        ${EndIf}
        ${If} $R7 == 1
          IntOp $0 $0 + 1
          !insertmacro Log "Windows holds $R3 for deletion at the next restart."
        ${Else}
          System::Call 'kernel32::RtlMoveMemory(p r9, p r5, i R6)'
          IntOp $9 $9 + $R6
        ${EndIf}
        IntOp $5 $5 + $R6
      ${Loop}
      ${If} $0 > 0
      ${AndIf} $R0 == 1
        ; The list without ours, and its last NUL.
        IntOp $9 $9 - $8
        ${If} $9 == 0
          System::Call 'advapi32::RegDeleteValueW(p r4, w "PendingFileRenameOperations") i .r3'
        ${Else}
          IntOp $9 $9 + 2
          System::Call 'advapi32::RegSetValueExW(p r4, w "PendingFileRenameOperations", i 0, i 7, p r8, i r9) i .r3'
        ${EndIf}
        ${If} $3 == 0
          StrCpy $1 1
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Free $7
    System::Free $8
  ${EndIf}
  System::Call 'advapi32::RegCloseKey(p r4)'
FunctionEnd

; Copies FILE aside to $PLUGINSDIR\AS when it exists, and sets VAR to "1"
; then; stops the install, before anything changed, if it cannot.
!macro KeepAside var file as
  StrCpy ${var} 0
  ${If} ${FileExists} "${file}"
    ClearErrors
    CopyFiles /SILENT "${file}" "$PLUGINSDIR\${as}"
    ${If} ${Errors}
      !insertmacro AbortWith 2 "Could not keep a copy of ${file} to restore if the setup fails."
    ${EndIf}
    StrCpy ${var} 1
  ${EndIf}
!macroend

; The uninstaller of the older name in FOLDER, when the entry of the
; earlier install names it as its own; never another program's.
!macro DeleteOurUninstallers folder
  ${If} $OldUninstaller == '"${folder}\${OLD_UNINSTALLER}"'
    Delete "${folder}\${OLD_UNINSTALLER}"
  ${EndIf}
!macroend

Section "${PRODUCT}" SecMain
  SectionIn RO
  InitPluginsDir
  !insertmacro Log "Installing ${PRODUCT} ${VERSION} to $INSTDIR"

  ; Messenger may have been started while the pages were shown: the last
  ; check before anything is written. A file that cannot be written is
  ; never skipped.
  Call InstalledDlls
  Call AwaitDllsFree
  ${If} $0 != 1
    !insertmacro AbortWith ${ERROR_SHARING_VIOLATION} "Nothing was installed: Messenger has ${PRODUCT} loaded. Close Messenger and run the setup again."
  ${EndIf}

  ; An uninstall that found the files in use left them to Windows to delete
  ; at the next restart: they would take the new ones with them. Only
  ; administrators may take that back (after the files are written).
  StrCpy $R0 0
  Call PendingDeletesOfOurs
  ${If} $0 > 0
    Call MayActAsAdmin
    ${If} $0 != 1
      !insertmacro AbortTellingWith ${ERROR_FAIL_NOACTION_REBOOT} "Windows deletes files of an earlier ${PRODUCT} in $INSTDIR at the next restart, and only an administrator could take that back. Restart Windows, then run the setup again. Nothing was installed."
    ${EndIf}
  ${EndIf}

  StrCpy $HadFolder 0
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $HadFolder 1
  ${EndIf}
  !insertmacro KeepAside $HadDll "$INSTDIR\${DLL_FILE}" previous.dll
  !insertmacro KeepAside $HadUninstaller "$INSTDIR\${UNINSTALLER}" previous-uninstaller.exe
  StrCpy $HadTrees ""
  !insertmacro REGISTRATION_TREES NoteTree
  !insertmacro REGISTRATION_VALUES NoteEntry
  StrCpy $RegNoted 1
  SetOutPath "$INSTDIR"

  ; Unpacked first and then copied, so that a failure to write is ours to
  ; handle (NSIS would ask Abort / Retry / Ignore without naming the cause).
  SetOverwrite on
  File "/oname=$PLUGINSDIR\new.dll" "${DLL}"
  System::Call 'kernel32::CopyFileW(w "$PLUGINSDIR\new.dll", w "$INSTDIR\${DLL_FILE}", i 0) i .r0 ?e'
  Pop $1
  ${If} $0 == 0
    Call RollBack
    ${If} $1 == ${ERROR_SHARING_VIOLATION}
      !insertmacro AbortWith ${ERROR_SHARING_VIOLATION} "Could not write $INSTDIR\${DLL_FILE}: Messenger has it loaded. Close Messenger and run the setup again."
    ${EndIf}
    !insertmacro AbortWith 2 "Could not write $INSTDIR\${DLL_FILE} (error $1)."
  ${EndIf}
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    Call RollBack
    !insertmacro AbortWith 2 "Could not write $INSTDIR\${UNINSTALLER}."
  ${EndIf}

  ${If} $AllUsers == 1
    StrCpy $0 "HKEY_LOCAL_MACHINE"
  ${Else}
    StrCpy $0 "HKEY_CURRENT_USER"
  ${EndIf}
  !insertmacro Log "Registering the plug-in under $0\Software\Classes: written as data, the DLL is not run."
  StrCpy $RegFailed 0
  !insertmacro REGISTRATION_VALUES WriteEntry
  ${If} $RegFailed == 1
    Call RollBack
    !insertmacro AbortWith 3 "The plug-in could not be registered."
  ${EndIf}

  StrCpy $R0 1
  Call PendingDeletesOfOurs
  ${If} $0 > 0
    ${If} $1 != 1
      Call RollBack
      !insertmacro AbortTellingWith ${ERROR_FAIL_NOACTION_REBOOT} "Windows deletes files of an earlier ${PRODUCT} in $INSTDIR at the next restart, and that could not be taken back. Restart Windows, then run the setup again. Nothing was installed."
    ${EndIf}
    !insertmacro Log "Taken off Windows' list for the next restart: the files installed now stay."
  ${EndIf}

  ; The earlier install goes: from another folder all of its files (the
  ; registration and the entry are ours now), in this folder the
  ; uninstaller of an older name.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    !insertmacro Log "Removing the earlier install in $OldDir"
    !insertmacro DeleteNowOrAtRestart "" "$OldDir\${DLL_FILE}"
    Delete "$OldDir\${UNINSTALLER}"
    !insertmacro DeleteOurUninstallers $OldDir
    RMDir "$OldDir"
    ${If} $Deferred == 1
    ${AndIf} ${FileExists} "$OldDir\*.*"
      Push "$OldDir"
      Call DeferDelete
    ${EndIf}
  ${ElseIf} $OldDir != ""
    !insertmacro DeleteOurUninstallers $INSTDIR
  ${EndIf}

  ; On a fresh profile the list of uninstall entries does not exist until
  ; ours is written; the uninstaller then takes the list away again if it is
  ; empty, and otherwise leaves it. An earlier install of ours already knows.
  ClearErrors
  ReadRegDWORD $1 SHCTX "${UNINST_KEY}" "CreatedEntryList"
  ${If} ${Errors}
    StrCpy $1 0
    ClearErrors
    EnumRegKey $2 SHCTX "${UNINST_LIST}" 0
    ${If} ${Errors}
      StrCpy $1 1
    ${EndIf}
  ${EndIf}
  ; The uninstall commands run the uninstaller in place (_?=), so that
  ; whoever runs them waits for it and gets its real exit code.
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "CreatedEntryList" $1
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${DLL_FILE},0"
  WriteRegStr SHCTX "${UNINST_KEY}" "URLInfoAbout" "${URL_INFO_ABOUT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "HelpLink" "${HELP_LINK}"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" _?=$INSTDIR'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntFmt $1 "0x%08X" $1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $1
  !insertmacro Log "Installed. Nothing changes until the options are saved once: /xwinampoptions in a conversation window, then Save!!!."
  ${If} $Deferred == 1
    !insertmacro Log "A file of the earlier install goes at the next restart."
    !insertmacro Log "exit code ${ERROR_SUCCESS_REBOOT_REQUIRED}"
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${Else}
    !insertmacro Log "exit code 0"
  ${EndIf}
SectionEnd

; --- Uninstaller -------------------------------------------------------------
;
; The uninstall of an all-users install started without administrator
; rights (from Apps & features, say) takes two runs. This first one shows
; the pages, then starts the uninstaller of the install folder with
; administrator rights (Windows asks: the UAC prompt), which removes the
; files, the registration and the uninstall entry, and nothing else. Then
; this run gives the quick texts back and removes the settings when asked:
; they are the registry of the user who started the uninstall, and Windows
; may have given the rights to another account, whose registry is not
; theirs. They go after the part with rights, not before it: that part
; first makes sure that no Messenger has the plug-in loaded and keeps it
; from loading, which a run without rights cannot do for a DLL in the
; program folder, and once the plug-in is gone no Messenger can take the
; slot back; and a part with rights that is declined or cancelled leaves
; everything as it was.

; Opens the installed DLL for writing and keeps it open in $Lock: $0 is "1"
; when that worked (or there is no DLL), "0" while some process has it
; loaded. While the handle is open nobody can load the DLL, since loading
; shares the file for reading only: a Messenger started during the
; uninstall cannot take the quick-text slot back after it was given back.
Function un.LockDll
  StrCpy $Lock 0
  StrCpy $0 1
  ${If} ${FileExists} "$INSTDIR\${DLL_FILE}"
    ; GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\${DLL_FILE}", i 0xC0000000, i 1, p 0, i 3, i 0, p 0) i .r1'
    ${If} $1 == -1
      StrCpy $0 0
    ${Else}
      StrCpy $Lock $1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.UnlockDll
  ${If} $Lock != 0
    System::Call 'kernel32::CloseHandle(i $Lock)'
    StrCpy $Lock 0
  ${EndIf}
FunctionEnd

; Waits for the user to close Messenger and takes the lock: $0 is "1" when
; it has it, "0" when the user cancelled (always, when silent).
Function un.AwaitDllLocked
  !insertmacro AwaitDllFree un.LockDll
FunctionEnd

Function un.SkipInElevatedRun
  ${If} $Role == elevated
    Abort
  ${EndIf}
FunctionEnd

; The user's own quick text 09, as it was before the plug-in first wrote
; it, goes back while the settings that hold the copies are all there. The
; uninstaller's own copy of the DLL does it, so that it works even when the
; installed one was deleted or damaged by hand. It reaches only the user
; this run belongs to.
Function un.GiveBackQuickTexts
  !insertmacro Log "Giving back your own quick text 09..."
  File "/oname=$PLUGINSDIR\${DLL_FILE}" "${DLL}"
  StrCpy $0 "not started"
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s /n /i:quicktexts "$PLUGINSDIR\${DLL_FILE}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    StrCpy $QuickTextsKept 1
    !insertmacro Log "regsvr32 failed: $0"
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your own quick text 09 could not be put back everywhere. What could not be put back stays under HKEY_CURRENT_USER\${SETTINGS_KEY}\SavedQuickText09, and your ${PRODUCT} settings are kept with it." /SD IDOK
    SetErrorLevel ${ERROR_CANTWRITE}
  ${EndIf}
FunctionEnd

; Starts the uninstaller of the install folder with administrator rights
; (Windows asks the user) and waits for it. No other file: the folder of an
; all-users install lies in a program folder (the setup accepts no other),
; which only administrators can change, and it is the folder that the
; machine-wide uninstall entry names; never a copy in a folder that the user,
; and so any program of theirs, can write. That run writes on in this run's
; log, through this run's handle. Unless it ends with 0, this run ends with
; its exit code and changes nothing of the user's.
Function un.RunElevated
  StrCpy $R1 "$INSTDIR\${UNINSTALLER}"
  StrCpy $R0 "/ELEVATED=$Log _?=$INSTDIR"
  ${If} ${Silent}
    StrCpy $R0 "/S $R0"
  ${EndIf}
  !insertmacro Log "Asking for administrator rights for $\"$R1$\" $R0"
  ; SHELLEXECUTEINFOW with SEE_MASK_NOCLOSEPROCESS, the verb "runas"; it
  ; starts in the system folder, not in one of the user's.
  System::Call '*(i 60, i 0x40, p $HWNDPARENT, w "runas", w "$R1", w "$R0", w "$SYSDIR", i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r1'
  System::Call 'shell32::ShellExecuteExW(p r1) i .r2 ?e'
  Pop $3
  ${If} $2 == 0
    System::Free $1
    ${If} $3 == ${ERROR_CANCELLED}
      !insertmacro AbortTellingWith ${ERROR_CANCELLED} "${PRODUCT} is installed for all users: only an administrator can remove it, and the request for administrator rights was declined. Nothing was removed."
    ${EndIf}
    !insertmacro AbortTellingWith ${ERROR_ELEVATION_REQUIRED} "${PRODUCT} is installed for all users: only an administrator can remove it. Run the uninstaller as administrator."
  ${EndIf}
  System::Call '*$1(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r4)'
  System::Free $1
  System::Call 'kernel32::WaitForSingleObject(p r4, i -1)'
  System::Call 'kernel32::GetExitCodeProcess(p r4, *i .r5)'
  System::Call 'kernel32::CloseHandle(p r4)'
  FileSeek $Log 0 END
  !insertmacro Log "The part with administrator rights ended with exit code $5."
  ${If} $5 == ${ERROR_SUCCESS_REBOOT_REQUIRED}
    StrCpy $Deferred 1
  ${ElseIf} $5 != 0
    !insertmacro AbortWith $5 "Your quick text 09 and your settings stay as they were."
  ${EndIf}
FunctionEnd

; Run in place (as the registered commands do, so that their caller waits
; for the real exit code) this program is the uninstaller, and Windows does
; not let a running program's file be deleted: a copy of it deletes the file
; and the then empty folder once this run, and the one that asked for
; administrator rights (it runs from the same file), have ended. The copy
; goes to a new folder of its own, held from its creation (FreshFolder) and
; checked to be that folder before anything is copied into it. The copy
; inherits the hold, and unpacks its NSIS plug-ins into that folder too
; (un.onInit), never into one of its own in %TEMP%. It gets handles on the
; processes it waits for, not their ids: by the time it looks, an id may be
; another process's.
Function un.StartCleanUpCopy
  Call un.FreshFolder
  StrCpy $R0 $0
  ${If} $R0 != ""
    StrCpy $2 $R0
    Call un.IsHeldFolder
    ${If} $0 != 1
      !insertmacro Log "$R0 is not the folder that was made for the copy: nothing goes there."
      System::Call 'kernel32::CloseHandle(p $Hold)'
      StrCpy $Hold ""
      StrCpy $R0 ""
    ${EndIf}
  ${EndIf}
  ${If} $R0 != ""
    SetOutPath $R0
    System::Call 'kernel32::CopyFileW(w "$EXEPATH", w "$R0\${UNINSTALLER}", i 1) i .r0'
    ${If} $0 != 0
      ; SYNCHRONIZE, inheritable
      System::Call 'kernel32::GetCurrentProcess() i .r1'
      System::Call 'kernel32::DuplicateHandle(i r1, i r1, i r1, *i .r2, i 0x100000, i 1, i 0) i'
      StrCpy $R5 `"$R0\${UNINSTALLER}" /CLEANUP=$2`
      ${If} $Role == elevated
        System::Call 'kernel32::OpenProcess(i 0x100000, i 1, i $FirstPid) i .r3'
        ${If} $3 != 0
          StrCpy $R5 "$R5 /AFTER=$3"
        ${EndIf}
      ${EndIf}
      StrCpy $R5 "$R5 _?=$INSTDIR"
      StrCpy $R6 1
      StrCpy $R7 0
      Call un.Start
      Return
    ${EndIf}
    SetOutPath "$TEMP"
    System::Call 'kernel32::CloseHandle(p $Hold)'
    StrCpy $Hold ""
    RMDir $R0
  ${EndIf}
  !insertmacro Log "No copy could remove $INSTDIR\${UNINSTALLER}."
  Push "$INSTDIR\${UNINSTALLER}"
  Call un.DeferDelete
FunctionEnd

; Starts the command line $R5 in the working directory, handing down the
; inheritable handles when $R6 is 1, with the creation flags $R7, and lets
; go of it: $0 is not 0 when it started.
Function un.Start
  ; STARTUPINFOW (68 bytes, all but its size 0), PROCESS_INFORMATION (16)
  System::Alloc 68
  Pop $4
  System::Call '*$4(i 68)'
  System::Alloc 16
  Pop $5
  System::Call 'kernel32::CreateProcessW(p 0, w r15, p 0, p 0, i r16, i r17, p 0, p 0, p r4, p r5) i .r0'
  ${If} $0 != 0
    System::Call '*$5(i .r6, i .r7)'
    System::Call 'kernel32::CloseHandle(i r6)'
    System::Call 'kernel32::CloseHandle(i r7)'
  ${EndIf}
  System::Free $4
  System::Free $5
FunctionEnd

; Waits up to ten minutes (a finish page left open) for the process of the
; inherited HANDLE ("" for none) to end.
!macro AwaitProcessEnd handle
  ${If} ${handle} != ""
    System::Call 'kernel32::WaitForSingleObject(i ${handle}, i 600000)'
    System::Call 'kernel32::CloseHandle(i ${handle})'
  ${EndIf}
!macroend

; The copy that removes the uninstaller run in place (/CLEANUP=<a handle on
; that run's process>, /AFTER=<one on the run that asked for administrator
; rights>): once they have ended, deletes the uninstaller and the folder if
; it is then empty. Then its own file and folder go: at the next restart
; when it has administrator rights (only they may have Windows do that), or
; else through the command processor once this copy has ended. NSIS removes
; its plug-ins, which lie in the same folder, as it ends.
Function un.CleanUpAfter
  SetOutPath "$EXEDIR"
  ; Its rights are known before it waits: nothing is unpacked or loaded
  ; after the wait.
  Call un.IsAdmin
  StrCpy $R3 $0
  !insertmacro AwaitProcessEnd $R1
  ClearErrors
  ${GetOptions} $R0 "/AFTER=" $R2
  ${IfNot} ${Errors}
    !insertmacro AwaitProcessEnd $R2
  ${EndIf}
  ; A process that could not be waited for may have the file open a moment.
  ${ForEach} $0 1 40 + 1
    Delete "$INSTDIR\${UNINSTALLER}"
    ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
      ${Break}
    ${EndIf}
    Sleep 250
  ${Next}
  RMDir "$INSTDIR"
  ${If} $R3 == 1
    ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
      Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
      RMDir /REBOOTOK "$INSTDIR"
    ${EndIf}
    Delete /REBOOTOK "$EXEPATH"
    RMDir /REBOOTOK "$EXEDIR"
  ${Else}
    Call un.RemoveOwnFolderWhenEnded
  ${EndIf}
  SetErrorLevel 0
  Quit
FunctionEnd

; Without administrator rights the command processor, started hidden,
; removes this copy's folder once this copy has ended, trying for half a
; minute. It runs in the folder above and names the folder by its own name
; alone, which FreshFolder chose: no path that the user chose reaches its
; command line, whose characters (& ( ) % and more) it would read as its own.
Function un.RemoveOwnFolderWhenEnded
  ${GetParent} "$EXEDIR" $1
  ${GetFileName} "$EXEDIR" $2
  SetOutPath $1
  ; A second's pause (ping's), then an attempt, as long as the folder is there.
  StrCpy $R5 `"$SYSDIR\cmd.exe" /d /c for /l %i in (1,1,30) do @if exist "$2" ("$SYSDIR\PING.EXE" -n 2 127.0.0.1 & rd /s /q "$2")`
  StrCpy $R6 0
  ; CREATE_NO_WINDOW
  StrCpy $R7 0x08000000
  Call un.Start
FunctionEnd

; The process id of the run that started this one: the one that asked for
; administrator rights (Windows makes it the parent of the run it starts).
Function un.ParentPid
  StrCpy $FirstPid ""
  ; PROCESS_BASIC_INFORMATION, its last field the parent's process id
  System::Call '*(&i24) p .r1'
  System::Call 'ntdll::NtQueryInformationProcess(i -1, i 0, p r1, i 24, p 0) i .r2'
  ${If} $2 == 0
    System::Call '*$1(i, i, i, i, i, i .s)'
    Pop $FirstPid
  ${EndIf}
  System::Free $1
FunctionEnd

; The run with administrator rights writes on in the log of the run that
; asked for them, through that run's own handle HANDLE, which it takes from
; its parent alone: it opens no file by name. $Log stays "" when that cannot
; be done (Windows gave the rights to another account, which may not reach
; the first run's process).
Function un.LogOfFirstRun
  StrCpy $Log ""
  ${If} $FirstPid != ""
    ; PROCESS_DUP_HANDLE
    System::Call 'kernel32::OpenProcess(i 0x40, i 0, i $FirstPid) i .r1'
    ${If} $1 != 0
      ; DUPLICATE_SAME_ACCESS
      System::Call 'kernel32::DuplicateHandle(i r1, i $R1, i -1, *i .r2, i 0, i 0, i 2) i .r3'
      System::Call 'kernel32::CloseHandle(i r1)'
      ${If} $3 != 0
        StrCpy $Log $2
        FileSeek $Log 0 END
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "un.${PRODUCT}" SecUnMain
  SectionIn RO
  ${If} $Role == asker
    Call un.RunElevated
    Call un.GiveBackQuickTexts
    Return
  ${EndIf}
  ${If} $Role == elevated
    ; The window of the run that asked stays; this one goes when done.
    SetAutoClose true
  ${EndIf}

  ; Messenger may have been started while the pages were shown: before
  ; anything changes, once more, and this time it stays out until the end.
  Call un.AwaitDllLocked
  ${If} $0 != 1
    !insertmacro AbortWith ${ERROR_SHARING_VIOLATION} "Nothing was removed: Messenger has ${PRODUCT} loaded."
  ${EndIf}
  ; First, while the plug-in is kept from loading.
  ${If} $Role == ""
  ${AndIf} $UserData == 1
    Call un.GiveBackQuickTexts
  ${EndIf}

  ; The registration is ours only while it names our DLL: a newer install
  ; in another folder owns it otherwise. The keys are ours alone, and
  ; removing them needs no working DLL.
  ReadRegStr $0 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ${If} $0 == "$INSTDIR\${DLL_FILE}"
    !insertmacro Log "Unregistering the plug-in..."
    !insertmacro REGISTRATION_TREES DeleteTree
  ${ElseIf} $0 != ""
    !insertmacro Log "The registration names $0, not this install: it stays."
  ${EndIf}

  Call un.UnlockDll
  ; Another program may hold it open a moment (a virus scanner, a backup).
  !insertmacro DeleteNowOrAtRestart "un." "$INSTDIR\${DLL_FILE}"
  ; Windows does not remove a folder that is some process's working
  ; directory: neither this one's nor that of the copy it starts.
  SetOutPath "$TEMP"
  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Call un.StartCleanUpCopy
  ${EndIf}
  ; Only an empty folder goes: anything the user put there stays. The copy
  ; removes it after the uninstaller; with a file left to the next restart,
  ; the folder follows it then.
  RMDir "$INSTDIR"
  ${If} $Deferred == 1
  ${AndIf} ${FileExists} "$INSTDIR\*.*"
    Push "$INSTDIR"
    Call un.DeferDelete
  ${EndIf}
SectionEnd

Section /o "un.Remove my settings" SecUnSettings
  ; The copies of quick texts that could not be given back are the user's
  ; own: they must not go with the settings.
  ${If} $UserData != 1
    !insertmacro Log "No settings are removed: they are not this account's to remove (see above)."
  ${ElseIf} $QuickTextsKept == 1
    !insertmacro Log "Your settings are kept: they hold the quick text that could not be put back."
  ${Else}
    !insertmacro Log "Removing your settings."
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
SectionEnd

; Last, so that a script waiting for the entry to go knows the rest is done.
; The entry is ours only while it names our folder. The run that asked for
; administrator rights leaves it to the run that has them.
Section "-un.Entry"
  ${If} $Role != asker
    ReadRegStr $0 SHCTX "${UNINST_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      ClearErrors
      ReadRegDWORD $1 SHCTX "${UNINST_KEY}" "CreatedEntryList"
      DeleteRegKey SHCTX "${UNINST_KEY}"
      ${If} $1 == 1
        DeleteRegKey /ifempty SHCTX "${UNINST_LIST}"
      ${EndIf}
    ${ElseIf} $0 != ""
      !insertmacro Log "The uninstall entry names $0, not this install: it stays."
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers == 1
  ${AndIf} $Role != elevated
    !insertmacro Log "Left for every other Windows account that used ${PRODUCT}, to give back signed in as itself: its quick text 09, which holds the last name ${PRODUCT} sent, and the copy of what it held before, under HKEY_CURRENT_USER\${SETTINGS_KEY}\SavedQuickText09, with its settings (the README's $\"Removing Tunecaster$\" says how)."
  ${EndIf}
  ${If} $Role == elevated
    !insertmacro Log "The files, the registration and the uninstall entry are removed."
  ${Else}
    !insertmacro Log "Uninstalled."
  ${EndIf}
  ${If} $QuickTextsKept == 1
    !insertmacro Log "exit code ${ERROR_CANTWRITE}"
  ${ElseIf} $Deferred == 1
    !insertmacro Log "A restart finishes the uninstall."
    !insertmacro Log "exit code ${ERROR_SUCCESS_REBOOT_REQUIRED}"
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${Else}
    !insertmacro Log "exit code 0"
  ${EndIf}
SectionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CLEANUP=" $R1
  ${IfNot} ${Errors}
    ; Its NSIS plug-ins go into its own folder, which the run that made it
    ; has held from its creation and which this copy holds by inheritance:
    ; never into a new folder in %TEMP% that a program of the user's could
    ; replace before the plug-ins are unpacked and loaded. Nothing before
    ; this line loads one.
    UnsafeStrCpy $PLUGINSDIR $EXEDIR
    Call un.CleanUpAfter
  ${EndIf}
  !insertmacro PinPluginsDir
  StrCpy $Role ""
  ClearErrors
  ${GetOptions} $R0 "/ELEVATED=" $R1
  ${IfNot} ${Errors}
    StrCpy $Role elevated
    Call un.ParentPid
    Call un.LogOfFirstRun
  ${EndIf}
  ${If} $Log == ""
    !insertmacro OpenLog un. uninstall
  ${Else}
    !insertmacro LogHeader uninstall
  ${EndIf}
  StrCpy $QuickTextsKept 0
  StrCpy $Lock 0
  StrCpy $Deferred 0
  StrCpy $AllUsers 0
  StrCpy $UserData 1
  SetShellVarContext current
  Call un.AccountName
  StrCpy $Account $0
  ; The install mode is not passed on the command line: an all-users install
  ; is the one whose folder the machine-wide uninstall entry names.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $AllUsers 1
    ${If} $Role == elevated
      Call un.IsAdmin
      ${If} $0 != 1
        !insertmacro QuitWith ${ERROR_ELEVATION_REQUIRED} "${PRODUCT} is installed for all users: only an administrator can remove it. Run the uninstaller as administrator."
      ${EndIf}
      StrCpy $UserData 0
    ${Else}
      Call un.MayActAsAdmin
      ${If} $0 != 1
        StrCpy $Role asker
      ${Else}
        Call un.CheckStartedFor
      ${EndIf}
    ${EndIf}
    SetShellVarContext all
  ${ElseIf} $Role == elevated
    ; Administrator rights remove an all-users install and nothing else.
    !insertmacro QuitWith ${ERROR_BAD_PATHNAME} "${PRODUCT} is not installed for all users in $INSTDIR. Nothing was removed."
  ${Else}
    ; An install for one user is the account's whose uninstall entry names
    ; its folder: its registration and its entry are in that account's
    ; registry alone. Run by another account (an administrator, a
    ; deployment tool), or from a folder the install has moved away from,
    ; the uninstall would remove files that registry still names, and give
    ; back and remove what is not that install's.
    ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $0 != $INSTDIR
      !insertmacro QuitWith ${ERROR_BAD_PATHNAME} "No install of ${PRODUCT} of the Windows account $Account is in $INSTDIR: an install for one user is removed by its own account, signed in as that account. Nothing was removed."
    ${EndIf}
  ${EndIf}
  !insertmacro Log "Uninstalling ${PRODUCT} from $INSTDIR, as $Account"

  ; Said before the pages rather than after them, where it is checked again.
  ; A run without administrator rights cannot tell for a DLL in a program
  ; folder, which it may not open for writing: the run with them asks.
  ${If} $Role != asker
    StrCpy $R9 "$INSTDIR\${DLL_FILE}"
    !insertmacro AwaitDllFree un.DllFree
    ${If} $0 != 1
      !insertmacro LeaveWith ${ERROR_SHARING_VIOLATION} "Nothing was removed: Messenger has ${PRODUCT} loaded."
    ${EndIf}
  ${EndIf}

  ; The settings are the user's: the run with administrator rights leaves
  ; them to the run that asked for them.
  ${If} $Role != elevated
    ClearErrors
    ${GetOptions} $R0 "/REMOVESETTINGS" $R1
    ${IfNot} ${Errors}
      !insertmacro SelectSection ${SecUnSettings}
    ${EndIf}
  ${EndIf}
FunctionEnd

; An all-users uninstall run with administrator rights from the start gives
; back the quick text and removes the settings of the account it runs as,
; only when that is the account signed in to the session: the user who
; started it. Started by a deployment tool (the system account, nobody
; signed in) or with another administrator's password typed at the prompt,
; it touches no account's registry but the machine's ($UserData), and says
; so.
Function un.CheckStartedFor
  Call un.SessionAccount
  ${If} $0 != $Account
  ${OrIf} $Account == ""
    StrCpy $UserData 0
    ${If} $0 == ""
      StrCpy $0 "nobody"
    ${EndIf}
    !insertmacro Log "This uninstall runs as $Account, while $0 is signed in to this Windows session: it gives no account's quick text 09 back and removes no account's settings, neither those of $0 nor its own. Uninstalled from Apps & features, signed in as yourself, it does that for you."
  ${EndIf}
FunctionEnd

; The run ends after one of these: the window closed, or a silent run done.
Function .onGUIEnd
  !insertmacro EndRun
FunctionEnd
Function .onInstSuccess
  !insertmacro EndRun
FunctionEnd
Function .onInstFailed
  !insertmacro EndRun
FunctionEnd
Function un.onGUIEnd
  !insertmacro EndRun
FunctionEnd
Function un.onUninstSuccess
  !insertmacro EndRun
FunctionEnd
Function un.onUninstFailed
  !insertmacro EndRun
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnMain} "Unregisters the plug-in and removes its files."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "Also removes your ${PRODUCT} settings from the registry (HKEY_CURRENT_USER\${SETTINGS_KEY})."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
