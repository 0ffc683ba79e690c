; Setup of the World Cup 2010 tray widget, for one user, without administrator rights.
; The same program is the Loader's update program: the Loader copies a pending package
; over update_for_tessmark_quornel.exe and runs it as "update /verysilent".
;
; Modes:
;   interactive            Russian pages, default folder %LOCALAPPDATA%\Programs\tessmark_quornel
;   /S [/nostart] [/D=dir] silent install; the widget starts with "/firstrun" unless /nostart
;   /verysilent            from an install folder (it holds the Loader): update that folder,
;                          show nothing, start nothing; from anywhere else: as /S
;
; A file is never overwritten in place: the new files are unpacked into setup_new\, the
; old ones moved into setup_old\ (a running program's file can be renamed, not replaced)
; and the new ones renamed into place; a failure puts the old ones back. Before anything
; is replaced, a copy of this program is left as the pending package, newer than the
; update program, so that an update cut off half-way is finished by the next Loader start.
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DPAYLOAD=<folder> -DOUTFILE=<setup.exe>
;          -DICON=<program icon> tessmark_quornel.nsi
; PAYLOAD holds both programs, base.dll and images\ as the build leaves them.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user ; the manifest says asInvoker: the Loader starts it without elevation
ManifestSupportedOS all
ManifestDPIAware true

!ifndef VERSION | PAYLOAD | OUTFILE | ICON
  !error "define VERSION, PAYLOAD, OUTFILE and ICON"
!endif

!define PRODUCT_NAME   "Кворнел Чемпионата мира по Футболу 2010"
!define PUBLISHER      "Morvane"
!define UNINSTALL_KEY  "Software\Microsoft\Windows\CurrentVersion\Uninstall\tessmark_quornel"
!define SETTINGS_KEY   "Software\Morvane\Tessmark"
!define LOADER         "tessmark_quornel_loader.exe"
!define HOST           "tessmark_quornel.exe"
!define ENGINE         "base.dll"
!define UPDATE_PROGRAM "update_for_tessmark_quornel.exe"
!define UPDATE_PACKAGE "update_for_tessmark_quornel.tmp"
!define UNINSTALLER    "uninstall.exe"
!define STAGING        "setup_new"
!define ASIDE          "setup_old"
!define SHORTCUT       "${PRODUCT_NAME}.lnk"

; Exit codes besides NSIS's own (0 done, 1 cancelled by the user).
!define EXIT_WIDGET_BUSY  3 ; the running widget did not end: nothing was changed
!define EXIT_FILE_BUSY    4 ; a file could not be replaced: the old files are back

; How long the running widget gets to end ("/exit" and the files free again).
!define STOP_TRIES        50
!define STOP_PAUSE_MS     200
!define EXIT_WAIT_MS      10000

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\tessmark_quornel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1049 "FileDescription" "${PRODUCT_NAME}: установка и обновление"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\setup_welcome.bmp" ; drawn by images/make_icons.py

!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_WELCOMEPAGE_TEXT "Эта программа установит $(^NameDA) для вашей учётной записи; права администратора не нужны.$\r$\n$\r$\nЕсли виджет уже запущен, программа установки сама закроет его перед заменой файлов.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Запустить виджет"
!define MUI_FINISHPAGE_RUN_FUNCTION StartWidget
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Виджет будет закрыт и удалён из этой папки вместе с ярлыками. Настройки прокси останутся в реестре (HKCU\${SETTINGS_KEY}) и пригодятся при новой установке."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

Var UpdateMode ; 1: run by the Loader in its install folder
Var NoStart    ; 1: "/nostart"
Var Failure    ; text of the failure, empty while all goes well

; ---------------------------------------------------------------------------------
; Shared by the setup and the uninstaller.

; $0 becomes 0 when the file exists and cannot be opened for writing: Windows (and
; Wine) refuse that for a running program's file.
!macro CHECK_FILE_FREE PATH
  ${If} ${FileExists} "${PATH}"
    ; GENERIC_WRITE, all sharing (only a running image or an exclusive holder refuses), OPEN_EXISTING
    System::Call 'kernel32::CreateFileW(w "${PATH}", i 0x40000000, i 7, p 0, i 3, i 0, p 0) p .r3'
    ${If} $3 P= -1
      StrCpy $0 0
    ${Else}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
  ${EndIf}
!macroend

; Stopping a running widget of this folder, for the setup and the uninstaller alike.
!macro DEFINE_STOP_WIDGET PREFIX
; $0 = 1 when no running program holds the Host or the engine.
Function ${PREFIX}ProgramFilesFree
  StrCpy $0 1
  !insertmacro CHECK_FILE_FREE "$INSTDIR\${HOST}"
  !insertmacro CHECK_FILE_FREE "$INSTDIR\${ENGINE}"
FunctionEnd

; Runs the installed Host with "/exit", which stops a running Host and waits for its end.
; A Host that does not end in time leaves the waiting start behind, which is ended.
Function ${PREFIX}ExitRunningHost
  System::Alloc 104 ; STARTUPINFOW
  Pop $1
  System::Call '*$1(i 104)'
  System::Alloc 24 ; PROCESS_INFORMATION
  Pop $2
  StrCpy $3 '"$INSTDIR\${HOST}" /exit'
  System::Call 'kernel32::CreateProcessW(w "$INSTDIR\${HOST}", w r3, p 0, p 0, i 0, i 0, p 0, w "$INSTDIR", p r1, p r2) i .r0'
  ${If} $0 <> 0
    System::Call '*$2(p .r3, p .r4)'
    System::Call 'kernel32::WaitForSingleObject(p r3, i ${EXIT_WAIT_MS}) i .r0'
    ${If} $0 <> 0
      System::Call 'kernel32::TerminateProcess(p r3, i 1)'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r3)'
    System::Call 'kernel32::CloseHandle(p r4)'
  ${EndIf}
  System::Free $1
  System::Free $2
FunctionEnd

; A Host that has only just started has no tray window yet and "/exit" misses it, so
; this asks again until the files are free. $0 = 1 when they are.
Function ${PREFIX}StopWidget
  StrCpy $R8 0
  ${Do}
    Call ${PREFIX}ProgramFilesFree
    ${If} $0 == 1
    ${OrIf} $R8 >= ${STOP_TRIES}
      ${Break}
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${HOST}"
      Call ${PREFIX}ExitRunningHost
    ${EndIf}
    Sleep ${STOP_PAUSE_MS}
    IntOp $R8 $R8 + 1
  ${Loop}
FunctionEnd
!macroend

!insertmacro DEFINE_STOP_WIDGET ""
!insertmacro DEFINE_STOP_WIDGET "un."

; Every file the setup puts into the install folder, in the order they are replaced:
; the Loader first, so that the folder is never long without one. The update program
; is replaced last, and only when this program is not the update program itself.
!macro FOR_EACH_FILE MACRO
  !insertmacro ${MACRO} "${LOADER}"
  !insertmacro ${MACRO} "${HOST}"
  !insertmacro ${MACRO} "${ENGINE}"
  !insertmacro ${MACRO} "images\tray.ico"
  !insertmacro ${MACRO} "images\tray_offline.ico"
  !insertmacro ${MACRO} "${UNINSTALLER}"
!macroend

; ---------------------------------------------------------------------------------
; The setup.

Function .onInit
  StrCpy $UpdateMode 0
  StrCpy $NoStart 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/nostart" $R1
  ${IfNot} ${Errors}
    StrCpy $NoStart 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/verysilent" $R1
  ${IfNot} ${Errors}
    SetSilent silent
    ; Only a program that stands in an install folder updates its own folder; a
    ; downloaded setup run so installs where a silent install would.
    ${If} ${FileExists} "$EXEDIR\${LOADER}"
      StrCpy $UpdateMode 1
      StrCpy $INSTDIR $EXEDIR
    ${EndIf}
  ${EndIf}
FunctionEnd

; Leaves a copy of this program as the pending package, one second newer than the
; update program (or now, if that is later): the Loader installs it at its next start
; unless this run gets to the end and removes it.
Function LeavePendingPackage
  System::Call 'kernel32::CopyFileW(w "$EXEPATH", w "$INSTDIR\${UPDATE_PACKAGE}", i 0) i .r0'
  ${If} $0 == 0
    Return
  ${EndIf}
  System::Call '*(l 0) p .r1'
  System::Call 'kernel32::GetSystemTimeAsFileTime(p r1)'
  System::Call '*$1(l .r2)'
  ; FILE_READ_ATTRIBUTES, all sharing, OPEN_EXISTING
  System::Call 'kernel32::CreateFileW(w "$INSTDIR\${UPDATE_PROGRAM}", i 0x80, i 7, p 0, i 3, i 0, p 0) p .r3'
  ${IfNot} $3 P= -1
    System::Call 'kernel32::GetFileTime(p r3, p 0, p 0, p r1) i .r0'
    System::Call 'kernel32::CloseHandle(p r3)'
    ${If} $0 <> 0
      System::Call '*$1(l .r4)'
      System::Int64Op $4 + 10000000
      Pop $4
      System::Int64Op $4 > $2
      Pop $0
      ${If} $0 == 1
        StrCpy $2 $4
      ${EndIf}
    ${EndIf}
  ${EndIf}
  System::Call '*$1(l r2)'
  ; FILE_WRITE_ATTRIBUTES
  System::Call 'kernel32::CreateFileW(w "$INSTDIR\${UPDATE_PACKAGE}", i 0x100, i 7, p 0, i 3, i 0, p 0) p .r3'
  ${IfNot} $3 P= -1
    System::Call 'kernel32::SetFileTime(p r3, p 0, p 0, p r1)'
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  System::Free $1
FunctionEnd

; Leftovers of an earlier run: a file that run moved aside and did not replace goes
; back; the others are deleted, and one that is still running is renamed out of the way.
!macro TIDY_ASIDE NAME
  ${If} ${FileExists} "$INSTDIR\${ASIDE}\${NAME}"
    ${IfNot} ${FileExists} "$INSTDIR\${NAME}"
      Rename "$INSTDIR\${ASIDE}\${NAME}" "$INSTDIR\${NAME}"
    ${Else}
      Delete "$INSTDIR\${ASIDE}\${NAME}"
      ${If} ${FileExists} "$INSTDIR\${ASIDE}\${NAME}"
        System::Call 'kernel32::GetTickCount() i .r0'
        Rename "$INSTDIR\${ASIDE}\${NAME}" "$INSTDIR\${ASIDE}\${NAME}.$0"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

Function TidyEarlierRun
  RMDir /r "$INSTDIR\${STAGING}"
  !insertmacro FOR_EACH_FILE TIDY_ASIDE
  !insertmacro TIDY_ASIDE "${UPDATE_PROGRAM}"
  RMDir /r "$INSTDIR\${ASIDE}" ; what is still running stays until the next run
FunctionEnd

!macro CHECK_STAGED NAME
  ${IfNot} ${FileExists} "$INSTDIR\${STAGING}\${NAME}"
  ${AndIf} $Failure == ""
    StrCpy $Failure "${NAME}"
  ${EndIf}
!macroend

; Unpacks the new files into setup_new\; $Failure names what could not be written.
; A macro, not a function: the size the directory page shows counts the files of the section.
!macro STAGE_FILES
  SetOutPath "$INSTDIR\${STAGING}\images"
  File "${PAYLOAD}\images\tray.ico"
  File "${PAYLOAD}\images\tray_offline.ico"
  SetOutPath "$INSTDIR\${STAGING}"
  File "${PAYLOAD}\${LOADER}"
  File "${PAYLOAD}\${HOST}"
  File "${PAYLOAD}\${ENGINE}"
  WriteUninstaller "$INSTDIR\${STAGING}\${UNINSTALLER}"
  SetOutPath "$INSTDIR" ; a current directory cannot be removed
  ${If} $UpdateMode != 1
    ; The update program of the install is a copy of this setup.
    System::Call 'kernel32::CopyFileW(w "$EXEPATH", w "$INSTDIR\${STAGING}\${UPDATE_PROGRAM}", i 0)'
    !insertmacro CHECK_STAGED "${UPDATE_PROGRAM}"
  ${EndIf}
  !insertmacro FOR_EACH_FILE CHECK_STAGED
!macroend

; Moves the old file aside and the new one in, unless an earlier file failed.
; (Testing the error flag clears it: each test comes right after its Rename.)
!macro REPLACE NAME
  ${If} $Failure == ""
  ${AndIf} ${FileExists} "$INSTDIR\${STAGING}\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      ClearErrors
      Rename "$INSTDIR\${NAME}" "$INSTDIR\${ASIDE}\${NAME}"
      ${If} ${Errors}
        StrCpy $Failure "${NAME}"
      ${EndIf}
    ${EndIf}
    ${If} $Failure == ""
      ClearErrors
      Rename "$INSTDIR\${STAGING}\${NAME}" "$INSTDIR\${NAME}"
      ${If} ${Errors}
        StrCpy $Failure "${NAME}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Undoes REPLACE: a file that left setup_new\ was moved in and goes; the old one comes back.
!macro RESTORE NAME
  ${IfNot} ${FileExists} "$INSTDIR\${STAGING}\${NAME}"
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${ASIDE}\${NAME}"
    Rename "$INSTDIR\${ASIDE}\${NAME}" "$INSTDIR\${NAME}"
  ${EndIf}
!macroend

Function ReplaceFiles
  CreateDirectory "$INSTDIR\${ASIDE}\images"
  CreateDirectory "$INSTDIR\images"
  !insertmacro FOR_EACH_FILE REPLACE
  ${If} $UpdateMode != 1
    !insertmacro REPLACE "${UPDATE_PROGRAM}"
  ${EndIf}
  ${If} $Failure != ""
    !insertmacro FOR_EACH_FILE RESTORE
    ${If} $UpdateMode != 1
      !insertmacro RESTORE "${UPDATE_PROGRAM}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function RegisterUninstall
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LOADER},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

; Both shortcuts start the Loader in the install folder: the programs find their files
; through the current directory, which a Run registry value could not set.
Function CreateShortcuts
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${LOADER}" "" "$INSTDIR\${LOADER}" 0
  CreateShortCut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\${LOADER}" "" "$INSTDIR\${LOADER}" 0
FunctionEnd

Function StartWidget
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\${LOADER}" /firstrun'
FunctionEnd

; Ends the run with the old widget in place: a message (none when silent) and an exit code.
Function Fail
  Exch $0 ; the exit code
  MessageBox MB_OK|MB_ICONSTOP "$Failure" /SD IDOK
  RMDir /r "$INSTDIR\${STAGING}"
  ${IfNot} ${FileExists} "$INSTDIR\${LOADER}"
    ; Nothing was installed here before: leave nothing behind.
    Delete "$INSTDIR\${UPDATE_PACKAGE}"
    RMDir /r "$INSTDIR\${ASIDE}"
    RMDir "$INSTDIR\images"
    RMDir "$INSTDIR"
  ${EndIf}
  SetErrorLevel $0
  Abort
FunctionEnd

Section "install"
  StrCpy $Failure ""
  CreateDirectory "$INSTDIR"
  Call LeavePendingPackage
  Call TidyEarlierRun

  DetailPrint "Закрываем запущенный виджет..."
  Call StopWidget
  ${If} $0 != 1
    StrCpy $Failure "Виджет в папке $INSTDIR не закрылся, и его файлы заняты. Закройте виджет (меню значка в области уведомлений, $\"Выход$\") и запустите установку ещё раз. Установленный виджет не изменён."
    Push ${EXIT_WIDGET_BUSY}
    Call Fail
  ${EndIf}

  DetailPrint "Распаковываем файлы..."
  !insertmacro STAGE_FILES
  ${If} $Failure != ""
    StrCpy $Failure "Не удалось записать файл $INSTDIR\${STAGING}\$Failure. Проверьте место на диске. Установленный виджет не изменён."
    Push ${EXIT_FILE_BUSY}
    Call Fail
  ${EndIf}

  DetailPrint "Заменяем файлы..."
  Call ReplaceFiles
  ${If} $Failure != ""
    StrCpy $Failure "Не удалось заменить файл $INSTDIR\$Failure: он занят другой программой. Установленный виджет не изменён; закройте эту программу и запустите установку ещё раз."
    Push ${EXIT_FILE_BUSY}
    Call Fail
  ${EndIf}
  Call TidyEarlierRun

  ${If} $UpdateMode != 1
    ; An update keeps the user's choice of shortcuts (a removed autostart stays removed).
    Call CreateShortcuts
  ${EndIf}
  Call RegisterUninstall
  Delete "$INSTDIR\${UPDATE_PACKAGE}" ; everything is in place
SectionEnd

Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $UpdateMode != 1
  ${AndIf} $NoStart != 1
    Call StartWidget
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------
; The uninstaller. It keeps the user's settings under HKCU\Software\Morvane\Tessmark.

!macro REMOVE NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Section "Uninstall"
  DetailPrint "Закрываем запущенный виджет..."
  Call un.StopWidget
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "Виджет в папке $INSTDIR не закрылся, и его файлы заняты. Закройте виджет и запустите удаление ещё раз." /SD IDOK
    SetErrorLevel ${EXIT_WIDGET_BUSY}
    Abort
  ${EndIf}

  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$SMSTARTUP\${SHORTCUT}"
  !insertmacro FOR_EACH_FILE REMOVE
  Delete "$INSTDIR\${UPDATE_PROGRAM}"
  Delete "$INSTDIR\${UPDATE_PACKAGE}"
  RMDir /r "$INSTDIR\${STAGING}"
  RMDir /r "$INSTDIR\${ASIDE}"
  RMDir "$INSTDIR\images"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
