; Tunecaster's Windows installer.
;
; By default it installs for the current user only and needs no administrator
; rights: the DLL goes to %LOCALAPPDATA%\Tunecaster and is registered under
; HKCU\Software\Classes (regsvr32 /n /i:user, i.e. DllInstall(TRUE, "user")).
; Run elevated with /ALLUSERS it installs to Program Files and registers the
; plug-in machine-wide instead; then only a folder inside the program folder
; is accepted, since every user's Messenger loads the DLL from there.
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
; Switches:
;   /S                silent
;   /ALLUSERS         install for all users (needs an elevated run)
;   /D=<folder>       install folder (last on the command line, no quotes)
; Uninstaller:
;   /S                silent
;   /REMOVESETTINGS   also remove the user's own settings (a tick box when
;                     run with its pages)
;
; Exit codes besides 0: 2 the DLL could not be written, 3 it could not be
; registered, 161 an all-users folder outside the program folder, 740 not
; elevated for an all-users install; uninstaller: 32 the DLL is in use (a
; Messenger is running), 1013 a quick text could not be given back (the
; rest is uninstalled), 740 as above.

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
!define UNINSTALLER "Uninstall.exe"
; Exit codes are Windows' own error codes where one says what went wrong:
; "The requested operation requires elevation."
!define ERROR_ELEVATION_REQUIRED 740
; "The process cannot access the file because it is being used by another process."
!define ERROR_SHARING_VIOLATION 32
; "The specified path is invalid."
!define ERROR_BAD_PATHNAME 161
; "The configuration registry key could not be written."
!define ERROR_CANTWRITE 1013

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
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

Var RegsvrArgs   ; the per-user switches for regsvr32, empty machine-wide
Var AllUsers     ; "1" for an all-users install
; What the install folder and the registry held before this run, so that a
; failed run takes away only what it put there ("1" when present).
Var HadFolder
Var HadDll
Var HadUninstaller
Var HadTrees     ; one digit per registration tree, in RegistrationTrees order
Var QuickTextsKept ; "1" when a quick text could not be given back

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Your own Tunecaster settings (naming mode, names and tags) are kept, so that a later installation finds them again. Tick the box to remove them too."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The Software\Classes trees that registration writes, under the root of the
; install mode, each with its place in $HadTrees. Removing these trees undoes
; registration completely; they hold nothing that is not ours.
!macro RegistrationTrees action
  !insertmacro ${action} 0 "Software\Classes\CLSID\${CLSID}"
  !insertmacro ${action} 1 "Software\Classes\${PROGID}"
  !insertmacro ${action} 2 "Software\Classes\${PROGID_VERSIONED}"
  !insertmacro ${action} 3 "Software\Classes\TypeLib\${LIBID}"
  !insertmacro ${action} 4 "Software\Classes\Interface\${IID}"
!macroend
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

!macro RequireAdmin message
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

Function .onInit
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
    !insertmacro RequireAdmin "Installing ${PRODUCT} for all users needs administrator rights. Run the setup as administrator, or without /ALLUSERS to install it for yourself only."
    StrCpy $RegsvrArgs ""
    StrCpy $AllUsers 1
    SetShellVarContext all
    ${If} $R2 == 1
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
  ; An earlier install of the same kind is updated where it is, rather than
  ; leaving its files behind in the old folder.
  ReadRegStr $0 SHCTX "${UNINST_KEY}" "InstallLocation"
  ${If} $R2 == 1
  ${AndIf} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $AllUsers == 1
    Call CheckMachineFolder
    ${If} $0 != ""
      MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
      SetErrorLevel ${ERROR_BAD_PATHNAME}
      Quit
    ${EndIf}
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
  StrCpy $0 "For all users, ${PRODUCT} must be installed in a folder inside the program folder ($PROGRAMFILES), where only administrators can change it: every user's Messenger loads it from there.$\r$\n$\r$\n$INSTDIR is outside the program folder. Choose a folder inside it, or install without /ALLUSERS for yourself only."
FunctionEnd

; Undoes a half-done install, so that a failed one leaves the install folder
; and the registration as it found them: a DLL and uninstaller that were
; there (an earlier install, or a DLL copied and registered by hand) come
; back byte for byte, and only registration trees that this run created go.
; An earlier install's uninstall entry was never touched.
Function RollBack
  !insertmacro RegistrationTrees DeleteTreeIfNew
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
      SetErrorLevel 2
      Abort "Could not keep a copy of ${file} to restore if the setup fails."
    ${EndIf}
    StrCpy ${var} 1
  ${EndIf}
!macroend

Section "Tunecaster" SecMain
  SectionIn RO
  InitPluginsDir
  StrCpy $HadFolder 0
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $HadFolder 1
  ${EndIf}
  !insertmacro KeepAside $HadDll "$INSTDIR\${DLL_FILE}" previous.dll
  !insertmacro KeepAside $HadUninstaller "$INSTDIR\${UNINSTALLER}" previous-uninstaller.exe
  StrCpy $HadTrees ""
  !insertmacro RegistrationTrees NoteTree
  SetOutPath "$INSTDIR"

  ; A messenger that still has an older copy loaded keeps the file locked.
  ClearErrors
  SetOverwrite on
  File "/oname=${DLL_FILE}" "${DLL}"
  ${If} ${Errors}
    Call RollBack
    SetErrorLevel 2
    Abort "Could not write $INSTDIR\${DLL_FILE}. Close Messenger and run the setup again."
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  DetailPrint "Registering the plug-in..."
  StrCpy $0 "not started"
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" /s $RegsvrArgs "$INSTDIR\${DLL_FILE}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "regsvr32 failed: $0"
    Call RollBack
    SetErrorLevel 3
    Abort "The plug-in could not be registered (regsvr32: $0)."
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
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "CreatedEntryList" $1
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntFmt $1 "0x%08X" $1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $1
SectionEnd

; --- Uninstaller -----------------------------------------------------------

; Sets $0 to "1" while some process has the installed DLL loaded. Windows
; does not let a file that is mapped as a program image be opened for
; writing (nor deleted), and Wine behaves the same; renaming would succeed
; on Windows and tell nothing. A per-user uninstall cannot have the file
; deleted at the next restart either, so it must not start while the DLL
; is loaded: it would take the registration and leave the file for good.
Function un.DllInUse
  StrCpy $0 0
  ${If} ${FileExists} "$INSTDIR\${DLL_FILE}"
    ClearErrors
    FileOpen $1 "$INSTDIR\${DLL_FILE}" a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
FunctionEnd

; Waits for the user to close Messenger: $0 is "1" when the DLL is free,
; "0" when the user cancelled (always, when silent).
Function un.AwaitDllFree
  ${Do}
    Call un.DllInUse
    ${If} $0 == 0
      StrCpy $0 1
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Messenger is running and has ${PRODUCT} loaded, so it cannot be removed now.$\r$\n$\r$\nClose Messenger (exit it, also from the notification area), then choose Retry." /SD IDCANCEL IDRETRY`
      StrCpy $0 0
      Return
    ${EndIf}
  ${Loop}
FunctionEnd

Section "un.Tunecaster" SecUnMain
  SectionIn RO
  ; Messenger may have been started while the pages were shown: before
  ; anything changes, once more.
  Call un.AwaitDllFree
  ${If} $0 != 1
    SetErrorLevel ${ERROR_SHARING_VIOLATION}
    Abort "Nothing was removed: Messenger has ${PRODUCT} loaded."
  ${EndIf}

  ; The user's own quick text 09, as it was before the plug-in first wrote
  ; it, goes back first, while the settings that hold the copies are all
  ; there. The uninstaller's own copy of the DLL does it, so that it works
  ; even when the installed one was deleted or damaged by hand. It reaches
  ; only the user who runs the uninstaller.
  DetailPrint "Giving back your own quick text 09..."
  File "/oname=$PLUGINSDIR\${DLL_FILE}" "${DLL}"
  StrCpy $0 "not started"
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s /n /i:quicktexts "$PLUGINSDIR\${DLL_FILE}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    StrCpy $QuickTextsKept 1
    DetailPrint "regsvr32 failed: $0"
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your own quick text 09 could not be put back everywhere. What could not be put back stays under HKEY_CURRENT_USER\${SETTINGS_KEY}\SavedQuickText09, and your ${PRODUCT} settings are kept with it." /SD IDOK
    SetErrorLevel ${ERROR_CANTWRITE}
  ${EndIf}

  DetailPrint "Unregistering the plug-in..."
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s $RegsvrArgs "$INSTDIR\${DLL_FILE}"' $0
  ; Whatever regsvr32 managed, these keys are ours alone.
  !insertmacro RegistrationTrees DeleteTree

  Delete /REBOOTOK "$INSTDIR\${DLL_FILE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: anything the user put there stays.
  SetOutPath "$TEMP"
  RMDir /REBOOTOK "$INSTDIR"
SectionEnd

Section /o "un.Remove my settings" SecUnSettings
  ; The copies of quick texts that could not be given back are the user's
  ; own: they must not go with the settings.
  ${If} $QuickTextsKept == 1
    DetailPrint "Your settings are kept: they hold the quick text that could not be put back."
  ${Else}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
SectionEnd

; Last, so that a script waiting for the entry to go knows the rest is done.
Section "-un.Entry"
  ClearErrors
  ReadRegDWORD $1 SHCTX "${UNINST_KEY}" "CreatedEntryList"
  DeleteRegKey SHCTX "${UNINST_KEY}"
  ${If} $1 == 1
    DeleteRegKey /ifempty SHCTX "${UNINST_LIST}"
  ${EndIf}
SectionEnd

Function un.onInit
  ; The install mode is not passed on the command line: an all-users install
  ; is the one whose folder the machine-wide uninstall entry names.
  StrCpy $RegsvrArgs "/n /i:user"
  StrCpy $QuickTextsKept 0
  SetShellVarContext current
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    !insertmacro RequireAdmin "${PRODUCT} is installed for all users: only an administrator can remove it. Run the uninstaller as administrator."
    StrCpy $RegsvrArgs ""
    SetShellVarContext all
  ${EndIf}
  InitPluginsDir

  ; Said before the pages rather than after them, where it is checked again.
  Call un.AwaitDllFree
  ${If} $0 != 1
    SetErrorLevel ${ERROR_SHARING_VIOLATION}
    Quit
  ${EndIf}

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnMain} "Unregisters the plug-in and removes its files."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "Also removes your Tunecaster settings from the registry (HKEY_CURRENT_USER\${SETTINGS_KEY})."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
