; The Windows installer: the program in "Program Files\Corvane Ombrel", a
; Start-menu shortcut for all users, and an uninstaller listed under
; Add/Remove Programs. Runs on Windows XP SP3 and later; /S installs and
; uninstalls silently, /D=<folder> (last, unquoted) picks another folder.
;
; makensis -DVERSION=1.0.0 -DPUBLISHER=... -DSTAGE=<folder with the exe,
;   README.txt and LICENSE.txt> -DOUTFILE=<setup.exe> installer.nsi

!ifndef VERSION
  !error "VERSION must be defined"
!endif
!ifndef PUBLISHER
  !error "PUBLISHER must be defined"
!endif
!ifndef STAGE
  !error "STAGE must be defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE must be defined"
!endif

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!define NAME "Corvane Ombrel"
!define EXE "Corvane Ombrel.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
; The program's rendering-mode value, under HKCU, named after its file.
!define EMULATION_KEY "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${NAME}"
; A folder picked at an earlier install is offered again.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  ; The highest folder this install makes (none when $INSTDIR exists): the
  ; uninstaller removes the folders it made up to that one, when empty.
  StrCpy $0 "$INSTDIR"
  StrCpy $1 ""
  made_loop:
    IfFileExists "$0\*.*" made_done
    StrCpy $1 "$0"
    ${GetParent} "$0" $2
    StrCmp $2 "" made_done
    StrCmp $2 $0 made_done
    StrCpy $0 $2
    Goto made_loop
  made_done:

  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut starts in the program's folder.
  CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\${EXE}$\",0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\Uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\Uninstall.exe$\" /S"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "FoldersMadeFrom" "$1"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  ; Exactly what the installer made; folders go only when empty, so a file
  ; the user put there stays.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "FoldersMadeFrom"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; The folders above it that the install made.
  StrCmp $1 "" parents_done
  StrCpy $0 "$INSTDIR"
  parents_loop:
    StrCmp $0 $1 parents_done
    ${un.GetParent} "$0" $0
    StrCmp $0 "" parents_done
    RMDir "$0"
    Goto parents_loop
  parents_done:
  Delete "$SMPROGRAMS\${NAME}.lnk"
  ; A run removes its rendering-mode value when it ends; one that was killed
  ; leaves it. It goes here if it is one the program writes (the engine's
  ; version times 1000, 8 to 11), in the uninstalling user's settings; any
  ; other value there is the user's own and stays.
  ClearErrors
  ReadRegDWORD $0 HKCU "${EMULATION_KEY}" "${EXE}"
  IfErrors emulation_done
  StrCmp $0 8000 emulation_ours
  StrCmp $0 9000 emulation_ours
  StrCmp $0 10000 emulation_ours
  StrCmp $0 11000 emulation_ours emulation_done
  emulation_ours:
    DeleteRegValue HKCU "${EMULATION_KEY}" "${EXE}"
  emulation_done:
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
