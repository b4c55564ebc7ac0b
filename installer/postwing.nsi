; Installer of Postwing (飞鸿信使) for 64-bit Windows, in Simplified Chinese.
; Per user, without administrator rights: the program goes into the user's
; local application folder with ini\, help\ and an empty 运行报告.txt beside
; it (the program works in its own folder); Start-menu and desktop shortcuts
; start it in that folder. Installing over an installed version replaces the
; program's files and keeps the user's: ini\, the report and 发送记录\. The
; uninstaller keeps those too unless asked to remove them (its second
; component, or /REMOVEDATA).
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.2.0 -DDISTDIR=<folder with
;   postwing.exe, postwing-send.exe, help\index.htm,
;   locale\zh_CN\LC_MESSAGES\wxstd-3.2.mo> -DRESDIR=<res folder>
;   -DOUTFILE=<setup.exe> installer/postwing.nsi
Unicode true
; Debian's makensis has 64-bit stubs; a 32-bit installer would need a 32-bit
; Windows layer where the program itself does not.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define PRODUCT "飞鸿信使"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Postwing"
!define REPORT "运行报告.txt"
!define RECORDS "发送记录"
!define CATALOGUE_DIR "locale\zh_CN\LC_MESSAGES"
!define CATALOGUE "wxstd-3.2.mo"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Postwing"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "青岚游戏工作室"
VIAddVersionKey /LANG=2052 "LegalCopyright" "版权所有 (C) 林远舟"

!define MUI_ICON "${RESDIR}\128_icon.ico"
!define MUI_UNICON "${RESDIR}\128_icon.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\postwing.exe"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR\help"
  File "${DISTDIR}\help\index.htm"
  ; wx's own texts (stock buttons, its dialogs) in Chinese.
  SetOutPath "$INSTDIR\${CATALOGUE_DIR}"
  File "${DISTDIR}\${CATALOGUE_DIR}\${CATALOGUE}"
  SetOutPath "$INSTDIR"
  File "${DISTDIR}\postwing.exe"
  File "${DISTDIR}\postwing-send.exe"
  CreateDirectory "$INSTDIR\ini"
  ; The report is recorded only when the file exists; a reinstall keeps it.
  ${IfNot} ${FileExists} "$INSTDIR\${REPORT}"
    FileOpen $0 "$INSTDIR\${REPORT}" w
    FileClose $0
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The output folder is the shortcuts' working folder: the program's own.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\postwing.exe" "" "$INSTDIR\postwing.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\postwing.exe" "" "$INSTDIR\postwing.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "青岚游戏工作室"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\postwing.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "un.${PRODUCT}" SecUnProgram
  SectionIn RO
  SetShellVarContext current
  Delete "$INSTDIR\postwing.exe"
  Delete "$INSTDIR\postwing-send.exe"
  Delete "$INSTDIR\help\index.htm"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\${CATALOGUE_DIR}\${CATALOGUE}"
  RMDir "$INSTDIR\locale\zh_CN\LC_MESSAGES"
  RMDir "$INSTDIR\locale\zh_CN"
  RMDir "$INSTDIR\locale"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless chosen: the settings, the report and the keep-going runs'
; records are the user's.
Section /o "un.删除设置和运行报告" SecRemoveData
  RMDir /r "$INSTDIR\ini"
  Delete "$INSTDIR\${REPORT}"
  RMDir /r "$INSTDIR\${RECORDS}"
SectionEnd

; Last: the folder goes only when nothing of the user's is left in it.
Section "-un.folder"
  RMDir "$INSTDIR"
SectionEnd

; After the sections, whose numbers it uses.
Function un.onInit
  SetShellVarContext current
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecRemoveData}
  ${EndIf}
FunctionEnd
