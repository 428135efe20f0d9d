; The Windows installer of tessel, built by scripts/build-windows.sh with
; makensis -DVERSION=... -DSTAGE=<folder laid out as installed> -DOUTFILE=...
; It installs tessel.exe, the examples and the documentation, adds Start
; menu entries, makes .tsl files open (run) with tessel, and uninstalls all
; of it.
Unicode true
; A 64-bit installer, as tessel.exe is (it also runs under a 64-bit-only wine).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

Name "tessel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\tessel"
InstallDirRegKey HKLM "Software\tessel" "InstallDir"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tessel"
!define PROG_ID "tessel.script"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; For every user of the machine: 64-bit registry view, the common Start menu.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "tessel"
  SetOutPath "$INSTDIR"
  File "${STAGE}\tessel.exe"
  File "${STAGE}\tesselw.exe"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\docs"
  File /r "${STAGE}\docs\*.*"
  SetOutPath "$INSTDIR\examples"
  File /r "${STAGE}\examples\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\tessel" "InstallDir" "$INSTDIR"

  ; .tsl files: opening one runs it (in a window, without a console); Edit
  ; opens it in Notepad.
  WriteRegStr HKLM "Software\Classes\.tsl" "" "${PROG_ID}"
  WriteRegStr HKLM "Software\Classes\.tsl" "Content Type" "text/plain"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}" "" "tessel script"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\DefaultIcon" "" "$INSTDIR\tesselw.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\shell" "" "open"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\shell\open\command" "" '"$INSTDIR\tesselw.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\shell\edit\command" "" 'notepad.exe "%1"'

  CreateDirectory "$SMPROGRAMS\tessel"
  CreateShortcut "$SMPROGRAMS\tessel\tessel demo.lnk" "$INSTDIR\tesselw.exe" '"$INSTDIR\examples\bounce.tsl"'
  CreateShortcut "$SMPROGRAMS\tessel\tessel examples.lnk" "$INSTDIR\examples"
  CreateShortcut "$SMPROGRAMS\tessel\tessel guide.lnk" "$INSTDIR\docs\guide.md"
  CreateShortcut "$SMPROGRAMS\tessel\Uninstall tessel.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "tessel ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "tessel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: a folder the user chose keeps
  ; anything else it holds.
  Delete "$INSTDIR\tessel.exe"
  Delete "$INSTDIR\tesselw.exe"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\docs"
  RMDir /r "$INSTDIR\examples"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\tessel\tessel demo.lnk"
  Delete "$SMPROGRAMS\tessel\tessel examples.lnk"
  Delete "$SMPROGRAMS\tessel\tessel guide.lnk"
  Delete "$SMPROGRAMS\tessel\Uninstall tessel.lnk"
  RMDir "$SMPROGRAMS\tessel"

  ; The association, only while it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.tsl" ""
  StrCmp $0 "${PROG_ID}" 0 +2
  DeleteRegKey HKLM "Software\Classes\.tsl"
  DeleteRegKey HKLM "Software\Classes\${PROG_ID}"
  DeleteRegKey HKLM "Software\tessel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
