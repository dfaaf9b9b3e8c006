; Vardel's installer: the program under Program Files, a "Send To" shortcut named Vardel, and an
; uninstaller registered in Add/Remove Programs that removes all of it. Run by hand it shows the
; licence first; /S works silently, with no page at all.
; makensis -DEXE=vardel.exe -DOUT=vardel-setup.exe -DVERSION=1.0.0 -DARCH=x86|amd64
;          -DLICENSE=LICENSE vardel.nsi
Unicode true
Target ${ARCH}-unicode
Name "Vardel"
OutFile "${OUT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if ${ARCH} == amd64
  InstallDir "$PROGRAMFILES64\Vardel"
!else
  InstallDir "$PROGRAMFILES\Vardel"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vardel"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vardel"
VIAddVersionKey "FileDescription" "Vardel setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The Vardel developers. MIT License."

LicenseData "${LICENSE}"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  !if ${ARCH} == amd64
    SetRegView 64
  !endif
FunctionEnd

Function un.onInit
  !if ${ARCH} == amd64
    SetRegView 64
  !endif
FunctionEnd

Section "Vardel"
  SetOutPath "$INSTDIR"
  File "/oname=vardel.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Send To belongs to the user who installs.
  SetShellVarContext current
  CreateShortCut "$SENDTO\Vardel.lnk" "$INSTDIR\vardel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vardel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vardel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vardel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SENDTO\Vardel.lnk"
  Delete "$INSTDIR\vardel.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
