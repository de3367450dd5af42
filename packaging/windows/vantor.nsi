; The Windows installer of Vantor (makensis from Debian's nsis; scripts/package
; runs it). Defined on the command line:
;   VERSION   the program's version (CMake's project version)
;   STAGE     the installed files (cmake --install of the Windows build)
;   LISTS     a folder with install.nsh and uninstall.nsh: the File and the
;             Delete/RMDir lines of exactly the staged files and folders
;   OUTFILE   the installer to write
;
; Per-machine (Program Files, the default for an administrator) or per-user
; (the user's programs folder); /AllUsers or /CurrentUser choose on the command
; line, /S installs and uninstalls silently. The uninstaller removes what was
; installed, the Start-menu entries and the uninstall entry; what the program
; and the user made (results, history, settings) stays.

; A 64-bit installer: it runs where the programs run (a 64-bit Windows, or a
; Wine without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma

!define APP_NAME "Vantor"
!define PUBLISHER "Quorvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantor"
!define MODE_KEY "Software\Quorvane\Vantor Installer"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Vantor"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${MODE_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${MODE_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include x64.nsh

Name "${APP_NAME} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${APP_NAME} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${APP_NAME}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${APP_NAME} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${STAGE}\vantor.ico"
!define MUI_UNICON "${STAGE}\vantor.ico"
!define MUI_ABORTWARNING
!if /FileExists "${STAGE}\vantor.exe"
  !define WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\vantor.exe"
!endif

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${APP_NAME} needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Vantor" SecProgram
  SectionIn RO
  !include "${LISTS}\install.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${APP_NAME}"
  !ifdef WINDOW
    CreateShortCut "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk" "$INSTDIR\vantor.exe" "" "$INSTDIR\vantor.exe" 0
  !endif
  ; vantor-cli in a console that stays open, starting with its help.
  CreateShortCut "$SMPROGRAMS\${APP_NAME}\${APP_NAME} command line.lnk" "$SYSDIR\cmd.exe" \
    '/k "cd /d "$INSTDIR" && vantor-cli.exe --help"' "$INSTDIR\vantor.ico" 0
  CreateShortCut "$SMPROGRAMS\${APP_NAME}\${APP_NAME} help.lnk" "$INSTDIR\help.htm"
  CreateShortCut "$SMPROGRAMS\${APP_NAME}\Uninstall ${APP_NAME}.lnk" "$INSTDIR\uninstall.exe" \
    "/$MultiUser.InstallMode"

  WriteRegStr SHCTX "${MODE_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${MODE_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantor.ico"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  !include "${LISTS}\uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when nothing else is left in it: results and logs of the program stay.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}\${APP_NAME} command line.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}\${APP_NAME} help.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}\Uninstall ${APP_NAME}.lnk"
  RMDir "$SMPROGRAMS\${APP_NAME}"

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${MODE_KEY}"
  DeleteRegKey /ifempty SHCTX "Software\Quorvane"
SectionEnd
