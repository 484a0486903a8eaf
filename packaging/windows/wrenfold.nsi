; The Windows installer of Wrenfold, built by scripts/package-windows:
;   makensis -INPUTCHARSET UTF8 -DVERSION=<x.y.z> -DPAYLOAD=<folder> -DOUTFILE=<setup.exe> wrenfold.nsi
; PAYLOAD holds what goes beside the program: wrenfold.exe, html\, architecture\,
; 格式範本\ and third-party-licenses\. It installs for every user of the machine
; into Program Files, with a Start menu entry and an entry in "Apps" (Add/Remove
; Programs) for its uninstaller. The user's data folder is never touched.
; A 64-bit installer (it writes the 64-bit Program Files and registry, and
; needs no 32-bit layer of Windows or Wine to run); all its text is UTF-8.
Target amd64-unicode
Unicode true
!ifndef VERSION
  !error "give VERSION with /D"
!endif
!ifndef PAYLOAD
  !error "give PAYLOAD with /D"
!endif
!ifndef OUTFILE
  !error "give OUTFILE with /D"
!endif

!include MUI2.nsh
!include FileFunc.nsh

!define PRODUCT "Wrenfold"
!define PUBLISHER "kelvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wrenfold"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${PAYLOAD}\格式範本\logo.ico"
!define MUI_UNICON "${PAYLOAD}\格式範本\logo.ico"
!insertmacro MUI_PAGE_DIRECTORY
; No "run it now" at the end: the installer runs elevated, and the program
; must start with the user's own rights.
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "TradChinese"

; The folders the program reads beside its executable. They are replaced whole
; on every install, so an update leaves no file of an older version behind,
; and removed by name on uninstall: nothing else in the install folder (which
; the user may have chosen) is deleted.
!macro RemoveProgramFiles
  Delete "$INSTDIR\wrenfold.exe"
  RMDir /r "$INSTDIR\html"
  RMDir /r "$INSTDIR\architecture"
  RMDir /r "$INSTDIR\格式範本"
  RMDir /r "$INSTDIR\third-party-licenses"
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Wrenfold"
  SetOutPath "$INSTDIR"
  !insertmacro RemoveProgramFiles
  File "${PAYLOAD}\wrenfold.exe"
  File /r "${PAYLOAD}\html"
  File /r "${PAYLOAD}\architecture"
  File /r "${PAYLOAD}\格式範本"
  File /r "${PAYLOAD}\third-party-licenses"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\wrenfold.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wrenfold.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  !insertmacro RemoveProgramFiles
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: whatever else the user keeps there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
