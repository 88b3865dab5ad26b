; Tunecaster's Windows installer.
;
; By default it installs for the current user only and needs no administrator
; rights: the DLL goes to %LOCALAPPDATA%\Tunecaster and is registered under
; HKCU\Software\Classes (regsvr32 /n /i:user, i.e. DllInstall(TRUE, "user")).
; Run elevated with /ALLUSERS it installs to Program Files and registers the
; plug-in machine-wide instead; then only a folder inside a program folder
; is accepted, since every user's Messenger loads the DLL from there. A run
; with administrator rights trusts no path in a folder that the user can
; write (see "Administrator rights" below).
;
; Built by scripts/release.sh, which passes:
;   /DDLL=<the DLL>  /DOUTFILE=<setup.exe>
;   /DIDENTITY=<identity.nsh>, the product's name, version, publisher,
;   class, library and interface identifiers, ProgIDs and settings key, as
;   the build generated them from the one place they are stated.
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
; entry only while it points into its own folder.
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
; folders, 740 not elevated for an all-users install, 1150 Windows older
; than Windows 7, 1638 a newer version is installed (silent without
; /ALLOWDOWNGRADE, or the user declined). Uninstaller: 32 the DLL is in use
; (nothing changed), 1013 a quick text could not be given back (the rest is
; uninstalled), 740 an all-users uninstall that could not get elevated, 1223
; the user declined the elevation, 161 its run with administrator rights
; found no all-users install in its folder.
; Both write a plain log to %TEMP%: "<product> setup.log" and "<product>
; uninstall.log" without administrator rights, a new "<product> setup
; <eight digits>.log" (or uninstall) every time with them.
;
; For the tests: TC_TEST_AS_STANDARD_USER=1 in the environment makes a run
; take the road of a user without administrator rights (MayActAsAdmin).

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

Var RegsvrArgs   ; the setup's switches for regsvr32: per user, or none machine-wide
Var AllUsers     ; "1" for an all-users install
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
; The uninstaller's part in an all-users uninstall started without
; administrator rights: "asker" for the run that asks for them, "elevated"
; for the run it starts with them, "" for a run that does all of it.
Var Role
Var FirstPid     ; in the "elevated" run, the process id of the run that asked

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
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
; A run with administrator rights opens, writes and starts nothing by a name
; in a folder that the user's own programs can write, and %TEMP% is one, also
; an administrator's own: such a program could have put a link there, or
; swap the file in between, and so have administrator rights write or run
; what it chose. What such a run needs in %TEMP% goes into a new file or
; folder whose name nobody could know beforehand.

; $0 becomes "1" when this process has administrator rights. All that keeps
; such a run safe goes by this alone.
!macro IsAdminFunction un
Function ${un}IsAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
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
!macroend
!insertmacro IsAdminFunction ""
!insertmacro IsAdminFunction "un."

; Makes a new folder in %TEMP% and sets $0 to its path ("" when none could
; be made). With administrator rights, only administrators and the system
; may change what is in it. The user can still rename it, as anything in
; %TEMP%: whoever relies on it keeps it as working directory meanwhile,
; which Windows does not let anyone rename.
Function un.FreshFolder
  Call un.IsAdmin
  StrCpy $3 0
  ${If} $0 == 1
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", i 1, *p .r4, p 0) i .r0'
    ${If} $0 == 0
      StrCpy $0 ""
      Return
    ${EndIf}
    System::Call '*(i 12, p r4, i 0) p .r3'
  ${EndIf}
  ${ForEach} $1 1 20 + 1
    Call un.Unguessable
    StrCpy $2 "$TEMP\${PRODUCT} $0"
    System::Call 'kernel32::CreateDirectoryW(w r2, p r3) i .r0'
    ${If} $0 != 0
      ${Break}
    ${EndIf}
  ${Next}
  ${If} $3 != 0
    System::Free $3
    System::Call 'kernel32::LocalFree(p r4)'
  ${EndIf}
  ${If} $0 != 0
    StrCpy $0 $2
  ${Else}
    StrCpy $0 ""
  ${EndIf}
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
  StrCpy $RegsvrArgs "/n /i:user"
  StrCpy $AllUsers 0
  SetShellVarContext current
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
    StrCpy $RegsvrArgs ""
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

  ; Asked before the pages, so that nobody fills them in for nothing; asked
  ; again right before anything is written.
  Call InstalledDlls
  Call AwaitDllsFree
  ${If} $0 != 1
    !insertmacro LeaveWith ${ERROR_SHARING_VIOLATION} "Nothing was installed: Messenger has ${PRODUCT} loaded."
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

  StrCpy $HadFolder 0
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $HadFolder 1
  ${EndIf}
  !insertmacro KeepAside $HadDll "$INSTDIR\${DLL_FILE}" previous.dll
  !insertmacro KeepAside $HadUninstaller "$INSTDIR\${UNINSTALLER}" previous-uninstaller.exe
  StrCpy $HadTrees ""
  !insertmacro REGISTRATION_TREES NoteTree
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

  !insertmacro Log "Registering the plug-in..."
  StrCpy $0 "not started"
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" /s $RegsvrArgs "$INSTDIR\${DLL_FILE}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    Call RollBack
    !insertmacro AbortWith 3 "The plug-in could not be registered (regsvr32: $0)."
  ${EndIf}

  ; The earlier install goes: from another folder all of its files (the
  ; registration and the entry are ours now), in this folder the
  ; uninstaller of an older name.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    !insertmacro Log "Removing the earlier install in $OldDir"
    Delete /REBOOTOK "$OldDir\${DLL_FILE}"
    Delete "$OldDir\${UNINSTALLER}"
    !insertmacro DeleteOurUninstallers $OldDir
    RMDir "$OldDir"
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
  !insertmacro Log "Installed."
  !insertmacro Log "exit code 0"
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
  ${If} $5 != 0
    !insertmacro AbortWith $5 "Your quick text 09 and your settings stay as they were."
  ${EndIf}
FunctionEnd

; Run in place (as the registered commands do, so that their caller waits
; for the real exit code) this program is the uninstaller, and Windows does
; not let a running program's file be deleted: a copy of it deletes the file
; and the then empty folder once this run, and the one that asked for
; administrator rights (it runs from the same file), have ended. The copy
; goes to a new folder of its own (FreshFolder), which this run keeps as
; its working directory until the copy runs there and keeps it in turn. It
; gets handles on the processes it waits for, not their ids: by the time it
; looks, an id may be another process's.
Function un.StartCleanUpCopy
  Call un.FreshFolder
  StrCpy $R0 $0
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
    RMDir $R0
  ${EndIf}
  !insertmacro Log "No copy could remove $INSTDIR\${UNINSTALLER}: it goes at the next restart, where Windows allows that."
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
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
; else through the command processor once this copy has ended.
Function un.CleanUpAfter
  SetOutPath "$EXEDIR"
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
  Call un.IsAdmin
  ${If} $0 == 1
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
  Delete /REBOOTOK "$INSTDIR\${DLL_FILE}"
  ; Windows does not remove a folder that is some process's working
  ; directory: neither this one's nor that of the copy it starts.
  SetOutPath "$TEMP"
  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Call un.StartCleanUpCopy
  ${EndIf}
  ; Only an empty folder goes: anything the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"
SectionEnd

Section /o "un.Remove my settings" SecUnSettings
  ; The copies of quick texts that could not be given back are the user's
  ; own: they must not go with the settings.
  ${If} $QuickTextsKept == 1
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
  ${If} $QuickTextsKept == 1
    !insertmacro Log "exit code ${ERROR_CANTWRITE}"
  ${ElseIf} $Role == elevated
    !insertmacro Log "The files, the registration and the uninstall entry are removed."
    !insertmacro Log "exit code 0"
  ${Else}
    !insertmacro Log "Uninstalled."
    !insertmacro Log "exit code 0"
  ${EndIf}
SectionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CLEANUP=" $R1
  ${IfNot} ${Errors}
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
  SetShellVarContext current
  ; The install mode is not passed on the command line: an all-users install
  ; is the one whose folder the machine-wide uninstall entry names.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    ${If} $Role == elevated
      Call un.IsAdmin
      ${If} $0 != 1
        !insertmacro QuitWith ${ERROR_ELEVATION_REQUIRED} "${PRODUCT} is installed for all users: only an administrator can remove it. Run the uninstaller as administrator."
      ${EndIf}
    ${Else}
      Call un.MayActAsAdmin
      ${If} $0 != 1
        StrCpy $Role asker
      ${EndIf}
    ${EndIf}
    SetShellVarContext all
  ${ElseIf} $Role == elevated
    ; Administrator rights remove an all-users install and nothing else.
    !insertmacro QuitWith ${ERROR_BAD_PATHNAME} "${PRODUCT} is not installed for all users in $INSTDIR. Nothing was removed."
  ${EndIf}
  !insertmacro Log "Uninstalling ${PRODUCT} from $INSTDIR"

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
