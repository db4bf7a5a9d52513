; The Windows installer of Tavrin, made by scripts/windows.sh with NSIS:
;   makensis -DVERSION=0.9.0 -DSOURCE=<portable folder> -DICON=tavrin.ico
;            -DLICENSE=LICENSE -DOUTFILE=Tavrin-0.9.0-setup.exe installer.nsi
; Tavrin goes to Program Files\Tavrin, with a Start-menu entry, .lge files
; opening in it and an entry in the system's list of programs. The
; uninstaller removes all of that, and what Tavrin kept for the user under
; %LOCALAPPDATA%\Tavrin (the working database and the window's settings).
; A silent install: Tavrin-0.9.0-setup.exe /S (and uninstall.exe /S).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define APP "Tavrin"
!define CLASS "Tavrin.League"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
RequestExecutionLevel admin
BrandingText "${APP} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tavrin.exe"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Tavrin"
  SetRegView 64
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  File "/oname=tavrin.ico" "${ICON}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\tavrin.exe" "" "$INSTDIR\tavrin.ico"

  ; A league file opens in Tavrin, and shows its icon.
  WriteRegStr HKLM "Software\Classes\.lge" "" "${CLASS}"
  WriteRegStr HKLM "Software\Classes\${CLASS}" "" "League of the game (Tavrin)"
  WriteRegStr HKLM "Software\Classes\${CLASS}\DefaultIcon" "" "$INSTDIR\tavrin.ico"
  WriteRegStr HKLM "Software\Classes\${CLASS}\shell\open\command" "" '"$INSTDIR\tavrin.exe" "%1"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavrin.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The shell's icons and associations read again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP}.lnk"
  DeleteRegKey HKLM "Software\Classes\${CLASS}"
  ; .lge only while it still names Tavrin's class.
  ReadRegStr $0 HKLM "Software\Classes\.lge" ""
  StrCmp $0 "${CLASS}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.lge"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir /r "$INSTDIR"
  ; What Tavrin kept for the user who uninstalls it.
  SetShellVarContext current
  RMDir /r "$LOCALAPPDATA\${APP}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
