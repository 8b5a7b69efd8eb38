; The technicians' setup for Windows, made by makensis from the same stripped programs
; as the zip. The build writes the file that DEFINES names: the version, the programs'
; names, where the programs and the icon lie, and the output file.
Unicode true
; The programs are 64-bit only, so is the setup: it then sees Program Files and the
; registry as the programs do, and runs under a Wine without 32-bit support.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
; The manifest asks for administrator rights itself, so Windows' guess from the
; word "setup" in the file's name, which makensis warns of, does not come into play.
!pragma warning disable 9000

!include "${DEFINES}"
!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "StrFunc.nsh"
!include "WordFunc.nsh"
${StrLoc}

!define MENU_FOLDER "ОРБИ-7"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\orbi7prog"
!define PROGRAM_LINK "${PRODUCT_NAME}.lnk"
!define DEMO_LINK "${DEMO_NAME}.lnk"
!define README_LINK "Описание программы.lnk"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${PRODUCT_NAME}"
Caption "Установка: ${PRODUCT_NAME} ${VERSION}"
UninstallCaption "Удаление: ${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\orbi7prog"
; Programs for every user of the machine, their Start menu and their registry.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT_NAME} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Открыть описание программы (README.txt)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; What Explorer shows in the setup's own properties.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка: ${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 разработчики orbi7prog"


Section "Программы" SectionPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}\orbi7prog.exe"
  File "${PROGRAMS}\orbi7prog-demo.exe"
  File "${PROGRAMS}\orbi7cli.exe"
  File "${PROGRAMS}\README.txt"
  File "${PROGRAMS}\DejaVu-LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${MENU_FOLDER}"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${PROGRAM_LINK}" "$INSTDIR\orbi7prog.exe"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${DEMO_LINK}" "$INSTDIR\orbi7prog-demo.exe"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\${README_LINK}" "$INSTDIR\README.txt"
  ; An update without the desktop box ticked takes the earlier version's link away.
  Delete "$DESKTOP\${PROGRAM_LINK}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbi7prog.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Ярлык на рабочем столе" SectionDesktop
  CreateShortcut "$DESKTOP\${PROGRAM_LINK}" "$INSTDIR\orbi7prog.exe"
SectionEnd

; The system's PATH, read and written back whole. A PATH longer than the setup's
; strings would come back cut short, every folder after the cut lost: such a PATH is
; left alone, and the setup says so.
Section /o "Командная строка orbi7cli в PATH" SectionPath
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  ${If} ${Errors}
  ${OrIf} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH не изменен: его не удается прочитать целиком."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Папка программы не добавлена в PATH: PATH слишком длинный. Добавьте $INSTDIR в PATH вручную." /SD IDOK
    Return
  ${EndIf}
  ${StrLoc} $2 "$0;" "$INSTDIR;" ">"
  ${If} $2 == ""
    StrCpy $0 "$0;$INSTDIR"
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "PathAdded" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

; After the sections, whose indexes it uses.
Function .onInit
  SetShellVarContext all
  SetRegView 64
  ; A newer version goes where the installed one is, so that one folder and one
  ; entry in "Apps & features" stay; a folder given with /D= still wins.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\orbi7prog"
    StrCpy $INSTDIR $0
  ${EndIf}
  ; A silent setup puts the console program's folder on PATH when asked by /PATH.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionPath} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; The folder leaves PATH only where the setup put it there, and only a PATH read whole.
Function un.RemoveFromPath
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "PathAdded"
  ${If} $0 != 1
    Return
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  ${If} ${Errors}
  ${OrIf} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH не изменен: его не удается прочитать целиком."
    Return
  ${EndIf}
  ${un.WordReplace} $0 ";$INSTDIR" "" "+" $1
  ${If} $1 != $0
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
FunctionEnd

; The programs, their links and their entry go; what the user made with them stays:
; settings files wherever they were saved, and the backups of writes in
; %APPDATA%\orbi7prog.
Section "Uninstall"
  Call un.RemoveFromPath
  Delete "$INSTDIR\orbi7prog.exe"
  Delete "$INSTDIR\orbi7prog-demo.exe"
  Delete "$INSTDIR\orbi7cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\DejaVu-LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a file that someone put there is not ours to remove.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${MENU_FOLDER}\${PROGRAM_LINK}"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${DEMO_LINK}"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\${README_LINK}"
  RMDir "$SMPROGRAMS\${MENU_FOLDER}"
  Delete "$DESKTOP\${PROGRAM_LINK}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
