; Kelvo's Windows installer. scripts/windows stages the programs and their DLLs
; in STAGE and runs makensis with STAGE, VERSION and OUTFILE defined.
; 64-bit stub: it runs where only 64-bit Windows programs do.
Target amd64-unicode
!include "MUI2.nsh"

Name "Kelvo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelvo"
InstallDirRegKey HKLM "Software\Marvane\Kelvo" "InstallDir"
RequestExecutionLevel admin
SetCompressor zlib

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Kelvo"
  SetRegView 64
  SetOutPath "$INSTDIR"
  ; A relay service of an earlier installation holds its program open.
  IfFileExists "$INSTDIR\kelvo-relay.exe" 0 +3
    nsExec::ExecToLog '"$INSTDIR\kelvo-relay.exe" --uninstall-service'
    Pop $0
  File /r "${STAGE}/*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Marvane\Kelvo" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Kelvo"
  CreateShortcut "$SMPROGRAMS\Kelvo\Kelvo.lnk" "$INSTDIR\kelvo.exe"
  CreateShortcut "$SMPROGRAMS\Kelvo\Uninstall Kelvo.lnk" "$INSTDIR\uninstall.exe"
  ; The relay as a service: automatic start, LocalService, started now.
  nsExec::ExecToLog '"$INSTDIR\kelvo-relay.exe" --install-service'
  Pop $0
  StrCmp $0 "0" +3
    SetErrorLevel 2
    MessageBox MB_OK|MB_ICONEXCLAMATION "The relay service kelvo-relay could not be installed or started (exit code $0). Kelvo finds devices only through it: run $\"$INSTDIR\kelvo-relay.exe$\" --install-service as administrator to see why." /SD IDOK
SectionEnd

Section "Uninstall"
  SetRegView 64
  ; Stopped and removed before its program is deleted.
  nsExec::ExecToLog '"$INSTDIR\kelvo-relay.exe" --uninstall-service'
  Pop $0
  StrCmp $0 "0" +2
    SetErrorLevel 2
  SetShellVarContext all
  Delete "$SMPROGRAMS\Kelvo\Kelvo.lnk"
  Delete "$SMPROGRAMS\Kelvo\Uninstall Kelvo.lnk"
  RMDir "$SMPROGRAMS\Kelvo"
  ; Only what the installer put there: the staged list, then the folder if empty.
  !include "${STAGE}.files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Marvane\Kelvo"
  DeleteRegKey /ifempty HKLM "Software\Marvane"
SectionEnd
