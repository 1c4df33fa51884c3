; The Windows installer: each format where hosts look for it (VST 3 and CLAP into the common
; folders, VST 2 into a folder the user picks), an entry in Apps / Add or Remove Programs and an
; uninstaller that takes away what was installed and the folders the installer made, nothing else.
;   makensis -DVERSION=1.2.3 -DSOURCE=<the zip's folder> -DICON=<tw07.ico> -DOUTFILE=<setup.exe> tw07.nsi
; Silent: setup.exe /S [/D=C:\VST2 folder]; uninstall.exe /S.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh

!define FULLNAME "TW07 - distortion/sustainer"
!define PUBLISHER "Tarnwell Industries"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TW07"
!define VST3_FOLDER "$COMMONFILES64\VST3"
!define VST3_BUNDLE "${VST3_FOLDER}\tw07.vst3"
!define CLAP_FOLDER "$COMMONFILES64\CLAP"
!define PROGRAM_FOLDER "$PROGRAMFILES64\TW07"
!define UNINSTALLER "${PROGRAM_FOLDER}\uninstall.exe"

Name "${FULLNAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\VSTPlugins"
RequestExecutionLevel admin
BrandingText "${FULLNAME} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${FULLNAME}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${FULLNAME} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst2FolderPage
!define MUI_PAGE_HEADER_TEXT "VST 2 Plug-in Folder"
!define MUI_PAGE_HEADER_SUBTEXT "Choose where the VST 2.4 plug-in goes."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The VST 2 plug-in tw07.dll goes into the folder your host scans for VST 2 plug-ins (its plug-in settings name it)."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Writes 1 under `name` when `folder` does not exist yet: the uninstaller removes only folders
; the installer made. A folder an earlier install made keeps its mark.
!macro MarkFolderIfNew folder name
  ${IfNot} ${FileExists} "${folder}\*.*"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${name}" 1
  ${EndIf}
!macroend

Section "VST 3" SectionVst3
  !insertmacro MarkFolderIfNew "${VST3_FOLDER}" "MadeVst3Folder"
  SetOutPath "${VST3_BUNDLE}\Contents\x86_64-win"
  File "${SOURCE}\tw07.vst3\Contents\x86_64-win\tw07.vst3"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Vst3" 1
SectionEnd

Section "CLAP" SectionClap
  !insertmacro MarkFolderIfNew "${CLAP_FOLDER}" "MadeClapFolder"
  SetOutPath "${CLAP_FOLDER}"
  File "${SOURCE}\tw07.clap"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Clap" 1
SectionEnd

Section "VST 2.4" SectionVst2
  ; An earlier install into another folder: its copy goes, so that one remains.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst2Folder"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    Delete "$0\tw07.dll"
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "MadeVst2Folder"
    ${If} $1 = 1
      RMDir "$0"
    ${EndIf}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "MadeVst2Folder"
  ${EndIf}
  !insertmacro MarkFolderIfNew "$INSTDIR" "MadeVst2Folder"
  SetOutPath "$INSTDIR"
  File "${SOURCE}\tw07.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst2Folder" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Vst2" 1
SectionEnd

; Adds the size of `section`'s files, in KiB, to $R0 when the format is installed.
!macro AddSizeIfInstalled section name
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "${name}"
  ${If} $1 = 1
    SectionGetSize ${section} $2
    IntOp $R0 $R0 + $2
  ${EndIf}
!macroend

Section "-Register"
  CreateDirectory "${PROGRAM_FOLDER}"
  WriteUninstaller "${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${FULLNAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${PROGRAM_FOLDER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  StrCpy $R0 0
  !insertmacro AddSizeIfInstalled ${SectionVst3} "Vst3"
  !insertmacro AddSizeIfInstalled ${SectionClap} "Clap"
  !insertmacro AddSizeIfInstalled ${SectionVst2} "Vst2"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionVst3} "The VST 3 plug-in, into Common Files\VST3."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionClap} "The CLAP plug-in, into Common Files\CLAP."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionVst2} "The VST 2.4 plug-in, into a folder you choose next."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetRegView 64
  ; Over an earlier install, its VST 2 folder unless /D named another.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst2Folder"
  ${If} $0 != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\VSTPlugins"
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function SkipVst2FolderPage
  ${IfNot} ${SectionIsSelected} ${SectionVst2}
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Removes `folder` when the installer made it and it is empty now.
!macro RemoveFolderIfMade folder name
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "${name}"
  ${If} $1 = 1
    RMDir "${folder}"
  ${EndIf}
!macroend

Section "Uninstall"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Vst3"
  ${If} $0 = 1
    Delete "${VST3_BUNDLE}\Contents\x86_64-win\tw07.vst3"
    RMDir "${VST3_BUNDLE}\Contents\x86_64-win"
    RMDir "${VST3_BUNDLE}\Contents"
    RMDir "${VST3_BUNDLE}"
    !insertmacro RemoveFolderIfMade "${VST3_FOLDER}" "MadeVst3Folder"
  ${EndIf}
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Clap"
  ${If} $0 = 1
    Delete "${CLAP_FOLDER}\tw07.clap"
    !insertmacro RemoveFolderIfMade "${CLAP_FOLDER}" "MadeClapFolder"
  ${EndIf}
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Vst2"
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "Vst2Folder"
  ${If} $0 = 1
  ${AndIf} $2 != ""
    Delete "$2\tw07.dll"
    !insertmacro RemoveFolderIfMade "$2" "MadeVst2Folder"
  ${EndIf}
  Delete "${UNINSTALLER}"
  RMDir "${PROGRAM_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
