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
; One install per user: a setup into another folder than the registered install moves
; it (the old folder's files go; interactive asks first). One setup or uninstaller runs
; at a time per user. An older version than the installed one asks (interactive) or is
; refused. A folder that holds files by this widget's names but no Loader is not touched,
; unless its setup_new\ holds the mark of this setup: a run was cut off there.
;
; A file is never overwritten in place: the new files are unpacked into setup_new\, the
; old ones moved into setup_old\ (a running program's file can be renamed, not replaced)
; and the new ones renamed into place; a failure puts the old ones back. Every run puts
; its mark into setup_new\ before anything else and removes it last, so that a folder a
; cut-off run left without a Loader (a power cut during the first install, or between
; the Loader's two renames) is known as this widget's and the next setup finishes it.
; Only while the files are being replaced does a copy of this program lie in the folder
; as the pending package, newer than the update program, so that an update cut off
; half-way is finished by the next Loader start; a second Loader that met it then would
; try to copy it over the running update program, so the time it lies there is kept short.
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
!define DESKTOP_KEY    "Control Panel\Desktop"
; HKEY_CURRENT_USER as a 64-bit process passes it to advapi32: sign-extended.
!define HKCU_HANDLE    0xFFFFFFFF80000001
!define LOADER         "tessmark_quornel_loader.exe"
!define HOST           "tessmark_quornel.exe"
!define ENGINE         "base.dll"
!define UPDATE_PROGRAM "update_for_tessmark_quornel.exe"
!define UPDATE_PACKAGE "update_for_tessmark_quornel.tmp"
!define UNINSTALLER    "uninstall_tessmark_quornel.exe"
!define OLD_UNINSTALLER "uninstall.exe" ; the name 1.0.0 gave it: removed only where the entry names it
!define STAGING        "setup_new"
!define STAGING_MARK   "tessmark_quornel_setup.mark" ; in setup_new\ while a run uses it
!define ASIDE          "setup_old"
!define SHORTCUT       "${PRODUCT_NAME}.lnk"
!define LOCK_NAME      "Local\tessmark_quornel_setup_" ; + the user name

; Exit codes besides NSIS's own (0 done, 1 cancelled by the user). Callers keep them.
!define EXIT_WIDGET_BUSY     3 ; the running widget did not end in time: nothing was changed
!define EXIT_FILE_BUSY       4 ; a file could not be written or replaced: the old files are back
!define EXIT_SETUP_RUNNING   5 ; another setup or uninstaller of this user runs: nothing was changed
!define EXIT_FOREIGN_FILES   6 ; the folder holds files by the widget's names but no Loader: nothing was changed
!define EXIT_NOT_INSTALLED   7 ; uninstaller: no Loader in its folder: nothing was removed
!define EXIT_OLDER_VERSION   8 ; a newer version is installed: nothing was changed
!define EXIT_NO_WRITE_ACCESS 9 ; the user may not write into the folder: nothing was changed

; The whole stop of a running widget ("/exit", then its files free) has one deadline:
; the Loader waits for its update run without a time-out, at log-on.
!define STOP_DEADLINE_MS  10000
!define STOP_PAUSE_MS     200
; How long a second setup waits for the first before it gives up.
!define LOCK_WAIT_MS      5000

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
!include WordFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\setup_welcome.bmp" ; drawn by images/make_icons.py

!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_WELCOMEPAGE_TEXT "Эта программа установит $(^NameDA) для вашей учётной записи; права администратора не нужны.$\r$\n$\r$\nЕсли виджет уже запущен, программа установки сама закроет его перед заменой файлов.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Запустить виджет"
!define MUI_FINISHPAGE_RUN_FUNCTION StartWidget
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Виджет будет закрыт и удалён из этой папки вместе с ярлыками; если на рабочем столе обои чемпионата, вернутся ваши прежние. Настройки останутся в реестре (HKCU\${SETTINGS_KEY}) и пригодятся при новой установке."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

Var UpdateMode   ; 1: run by the Loader in its install folder
Var NoStart      ; 1: "/nostart"
Var Failure      ; text of the failure, empty while all goes well
Var Older        ; 1: this version is older than the installed one (the user agreed)
Var RegDir       ; the registered install's folder (FolderKey form), "" when none
Var RegDirRaw    ; the same as the entry spells it
Var RegVersion   ; its DisplayVersion
Var RegPresent   ; 1: that folder still holds the Loader
Var OtherDir     ; another registered install this setup moves away from, "" when none
Var OwnEntry     ; 1: this run writes the uninstall entry
Var OldUninstaller ; the 1.0.0 uninstaller that the entry names, removed with the entry; "" when none
Var StopStart    ; tick count at the first stop of this run: every stop shares its deadline

; ---------------------------------------------------------------------------------
; Shared by the setup and the uninstaller.

; Every file the setup installs that comes from the payload, in the order they are
; replaced: the Loader first, so that the folder is never long without one. A new
; file of the widget is one line here.
!macro FOR_EACH_PAYLOAD_FILE MACRO
  !insertmacro ${MACRO} "${LOADER}"
  !insertmacro ${MACRO} "${HOST}"
  !insertmacro ${MACRO} "${ENGINE}"
  !insertmacro ${MACRO} "images\tray.ico"
  !insertmacro ${MACRO} "images\tray_offline.ico"
  !insertmacro ${MACRO} "images\wallpaper.bmp"
!macroend

; Every file of an install but the update program, which is replaced last, and only
; when this program is not the update program itself.
!macro FOR_EACH_FILE MACRO
  !insertmacro FOR_EACH_PAYLOAD_FILE ${MACRO}
  !insertmacro ${MACRO} "${UNINSTALLER}"
!macroend

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

!macro REMOVE NAME
  !if "${NAME}" != "${LOADER}"
    Delete "$INSTDIR\${NAME}"
  !endif
!macroend

!macro DEFINE_SHARED PREFIX
; One setup or uninstaller at a time for this user: two at once on one folder left it
; empty or mixed. $0 = 1 when this run holds the lock; it keeps it until it ends.
Function ${PREFIX}TakeSetupLock
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${LOCK_NAME}$1") p .r2'
  StrCpy $0 0
  ${IfNot} $2 P= 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${LOCK_WAIT_MS}) i .r1'
    ; 0x80: the holder was killed; the run tidies what it left
    ${If} $1 = 0
    ${OrIf} $1 = 0x80
      StrCpy $0 1
    ${Else}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${EndIf}
FunctionEnd

; $R0: a folder, returned in one spelling (full, long names, no closing backslash), so
; that two spellings of one folder compare equal (StrCmp ignores case). Uses $R1, $9.
Function ${PREFIX}FolderKey
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R1, p 0) i .r9'
  ${If} $9 > 0
  ${AndIf} $9 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $R1
  ${EndIf}
  System::Call 'kernel32::GetLongPathNameW(w R0, w .R1, i ${NSIS_MAX_STRLEN}) i .r9'
  ${If} $9 > 0
  ${AndIf} $9 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $R1
  ${EndIf}
  ${Do}
    StrCpy $9 $R0 1 -1
    ${If} $9 != "\"
    ${OrIf} $R0 == "\"
      ${Break}
    ${EndIf}
    StrCpy $9 $R0 1 -2
    ${If} $9 == ":" ; a drive's root keeps its backslash
      ${Break}
    ${EndIf}
    StrCpy $R0 $R0 -1
  ${Loop}
FunctionEnd

; The uninstall entry as it is: $RegDirRaw, $RegDir, $RegVersion, $RegPresent.
Function ${PREFIX}ReadRegistration
  ReadRegStr $RegDirRaw HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $RegVersion HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  StrCpy $RegDir ""
  StrCpy $RegPresent 0
  ${If} $RegDirRaw != ""
    StrCpy $R0 $RegDirRaw
    Call ${PREFIX}FolderKey
    StrCpy $RegDir $R0
    ${If} ${FileExists} "$RegDir\${LOADER}"
      StrCpy $RegPresent 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0 = 1 when the uninstall entry names $INSTDIR. Uses $R0, $R1, $9.
Function ${PREFIX}EntryIsThisFolder
  StrCpy $0 0
  ${If} $RegDir != ""
    StrCpy $R0 $INSTDIR
    Call ${PREFIX}FolderKey
    ${If} $R0 == $RegDir
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; $OldUninstaller: the 1.0.0 uninstaller of the entry's folder when the entry names it
; (so it is this widget's, not another program's uninstall.exe).
Function ${PREFIX}FindOldUninstaller
  StrCpy $OldUninstaller ""
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "UninstallString"
  ${If} $RegDirRaw != ""
  ${AndIf} $1 == '"$RegDirRaw\${OLD_UNINSTALLER}"'
    StrCpy $OldUninstaller "$RegDir\${OLD_UNINSTALLER}"
  ${EndIf}
FunctionEnd

; $0 = 1 when no running program holds the Host or the engine of $INSTDIR.
Function ${PREFIX}ProgramFilesFree
  StrCpy $0 1
  !insertmacro CHECK_FILE_FREE "$INSTDIR\${HOST}"
  !insertmacro CHECK_FILE_FREE "$INSTDIR\${ENGINE}"
FunctionEnd

; Runs the installed Host with "/exit", which stops a running Host and waits for its
; end, for at most $R7 ms; a start still waiting then (a hung widget) is ended.
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
    System::Call 'kernel32::WaitForSingleObject(p r3, i R7) i .r0'
    ${If} $0 <> 0
      System::Call 'kernel32::TerminateProcess(p r3, i 1)'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r3)'
    System::Call 'kernel32::CloseHandle(p r4)'
  ${EndIf}
  System::Free $1
  System::Free $2
FunctionEnd

; Stops the widget of $INSTDIR by the deadline, which counts from the first stop of
; this run. A Host that has only just started has no tray window yet and "/exit" misses
; it, so this asks again until the files are free. $0 = 1 when they are. Uses $0-$4, $R7.
Function ${PREFIX}StopWidget
  ${If} $StopStart == ""
    System::Call 'kernel32::GetTickCount() i .s'
    Pop $StopStart
  ${EndIf}
  ${Do}
    Call ${PREFIX}ProgramFilesFree
    ${If} $0 == 1
      ${Break}
    ${EndIf}
    System::Call 'kernel32::GetTickCount() i .R7'
    IntOp $R7 $R7 - $StopStart ; elapsed; the 32-bit difference survives the tick count's wrap
    IntOp $R7 ${STOP_DEADLINE_MS} - $R7
    ${If} $R7 <= 0
      ${Break}
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${HOST}"
      Call ${PREFIX}ExitRunningHost
    ${EndIf}
    Sleep ${STOP_PAUSE_MS}
  ${Loop}
FunctionEnd

; Removes the files of the install in $INSTDIR by their names, and the folder when
; nothing else is left in it. The Loader goes last: a run cut off before the end leaves
; a folder still known as this widget's, which the next uninstall or setup finishes.
Function ${PREFIX}RemoveInstallFiles
  !insertmacro FOR_EACH_FILE REMOVE
  Delete "$INSTDIR\${UPDATE_PROGRAM}"
  Delete "$INSTDIR\${UPDATE_PACKAGE}"
  RMDir /r "$INSTDIR\${STAGING}"
  RMDir /r "$INSTDIR\${ASIDE}"
  Delete "$INSTDIR\${LOADER}"
  RMDir "$INSTDIR\images"
  RMDir "$INSTDIR"
FunctionEnd
!macroend

!insertmacro DEFINE_SHARED ""
!insertmacro DEFINE_SHARED "un."

; ---------------------------------------------------------------------------------
; The setup.

Function .onInit
  StrCpy $UpdateMode 0
  StrCpy $NoStart 0
  StrCpy $Older 0
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

  Call TakeSetupLock
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "Уже идёт другая установка или удаление виджета. Дождитесь её окончания и запустите программу установки ещё раз." /SD IDOK
    SetErrorLevel ${EXIT_SETUP_RUNNING}
    Abort
  ${EndIf}

  ; The installed version that this run would replace: the registered install's (one
  ; per user); an update run knows only its own folder's.
  Call ReadRegistration
  Call EntryIsThisFolder
  StrCpy $R2 $RegPresent
  ${If} $UpdateMode == 1
  ${AndIf} $0 != 1
    StrCpy $R2 0
  ${EndIf}
  ${If} $R2 == 1
    ${VersionCompare} "${VERSION}" "$RegVersion" $R1
    ${If} $R1 == 2
      ${If} ${Silent}
        SetErrorLevel ${EXIT_OLDER_VERSION}
        Abort
      ${EndIf}
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Установлена более новая версия виджета ($RegVersion), чем эта программа установки (${VERSION}).$\r$\n$\r$\nЗаменить установленную версию более старой?" IDYES +3
      SetErrorLevel ${EXIT_OLDER_VERSION}
      Abort
      StrCpy $Older 1
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro CHECK_FOREIGN NAME
  ${If} $1 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    StrCpy $1 "${NAME}"
  ${EndIf}
!macroend

; $0 = 1 when this user may create files in $INSTDIR or, while it does not exist yet,
; in the nearest folder above it that does. Only a refusal counts (error 5, or 19 for
; a write-protected medium); other errors are left to the steps that write.
Function CanWrite
  StrCpy $0 1
  StrCpy $2 $INSTDIR
  ${DoUntil} ${FileExists} "$2\*.*"
    ${GetParent} $2 $2
    ${If} $2 == ""
      Return
    ${EndIf}
  ${Loop}
  ; GENERIC_WRITE|DELETE, no sharing, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE: leaves nothing behind
  System::Call 'kernel32::CreateFileW(w "$2\tessmark_quornel_write_check.tmp", i 0x40010000, i 0, p 0, i 1, i 0x04000080, p 0) p .r3 ?e'
  Pop $4
  ${If} $3 P= -1
    ${If} $4 = 5
    ${OrIf} $4 = 19
      StrCpy $0 0
    ${EndIf}
  ${Else}
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
FunctionEnd

; Whether the setup may install into $INSTDIR: $0 = 0, or the exit code of the refusal
; and $1 its message. Changes nothing.
Function CheckFolder
  StrCpy $0 0
  StrCpy $1 ""
  ; Files by the widget's names without its Loader are another program's: the setup
  ; would replace them and the uninstaller remove them. With the mark in setup_new\,
  ; a run of this setup was cut off here, and the tidying of this run finishes it.
  ${IfNot} ${FileExists} "$INSTDIR\${LOADER}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${STAGING}\${STAGING_MARK}"
    !insertmacro FOR_EACH_FILE CHECK_FOREIGN
    !insertmacro CHECK_FOREIGN "${UPDATE_PROGRAM}"
    !insertmacro CHECK_FOREIGN "${UPDATE_PACKAGE}"
    !insertmacro CHECK_FOREIGN "${STAGING}"
    !insertmacro CHECK_FOREIGN "${ASIDE}"
    ${If} $1 != ""
      StrCpy $0 ${EXIT_FOREIGN_FILES}
      StrCpy $1 "В папке $INSTDIR уже есть $\"$1$\", но установленного виджета там нет. Программа установки не заменяет чужие файлы: выберите другую папку."
      Return
    ${EndIf}
  ${EndIf}
  Call CanWrite
  ${If} $0 != 1
    StrCpy $0 ${EXIT_NO_WRITE_ACCESS}
    StrCpy $1 "Нет доступа на запись в папку $INSTDIR: в такие папки (например, в $\"Program Files$\") программы пишут только с правами администратора. Выберите папку в своём профиле, например $LOCALAPPDATA\Programs\tessmark_quornel."
    Return
  ${EndIf}
  StrCpy $0 0
FunctionEnd

; $0: the folder of another registered install that still holds its Loader, or "".
Function OtherInstall
  Call EntryIsThisFolder
  ${If} $RegPresent == 1
  ${AndIf} $0 != 1
    StrCpy $0 $RegDir
  ${Else}
    StrCpy $0 ""
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Call CheckFolder
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$1"
    Abort
  ${EndIf}
  Call OtherInstall
  ${If} $0 != ""
    MessageBox MB_YESNO|MB_ICONQUESTION "Виджет уже установлен в папке $0.$\r$\n$\r$\nУстановить его в папку $INSTDIR и удалить из прежней папки? $\"Нет$\": выбрать другую папку." IDYES +2
    Abort
  ${EndIf}
FunctionEnd

!macro NORMAL_ATTRIBUTES PATH
  System::Call 'kernel32::SetFileAttributesW(w "${PATH}", i 0x80)' ; FILE_ATTRIBUTE_NORMAL
!macroend

; Copies this program to PATH with normal attributes: CopyFileW carries the read-only
; flag of a setup run from a CD over, and the Loader could then never copy the next
; package over the update program. $0 = 0 on failure.
!macro COPY_THIS_PROGRAM PATH
  System::Call 'kernel32::CopyFileW(w "$EXEPATH", w "${PATH}", i 0) i .r0'
  !insertmacro NORMAL_ATTRIBUTES "${PATH}"
!macroend

; Makes setup_new\ with the mark of this setup in it, before any other file goes there.
!macro MAKE_STAGING
  CreateDirectory "$INSTDIR\${STAGING}"
  Push $0
  ClearErrors
  FileOpen $0 "$INSTDIR\${STAGING}\${STAGING_MARK}" w
  ${IfNot} ${Errors}
    FileClose $0
  ${EndIf}
  Pop $0
!macroend

; Puts a copy of this program into the folder as the pending package, one second newer
; than the update program (or now, if that is later): the Loader installs it at its
; next start unless this run gets to the end and removes it. Made in setup_new\ and
; renamed into place, so that it appears at once. Never for an older version.
Function LeavePendingPackage
  ${If} $Older == 1
    Return
  ${EndIf}
  !insertmacro MAKE_STAGING
  !insertmacro COPY_THIS_PROGRAM "$INSTDIR\${STAGING}\${UPDATE_PACKAGE}"
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
  System::Call 'kernel32::CreateFileW(w "$INSTDIR\${STAGING}\${UPDATE_PACKAGE}", i 0x100, i 7, p 0, i 3, i 0, p 0) p .r3'
  ${IfNot} $3 P= -1
    System::Call 'kernel32::SetFileTime(p r3, p 0, p 0, p r1)'
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  System::Free $1
  Delete "$INSTDIR\${UPDATE_PACKAGE}"
  Rename "$INSTDIR\${STAGING}\${UPDATE_PACKAGE}" "$INSTDIR\${UPDATE_PACKAGE}"
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

; Empties and removes setup_new\, its mark last: a run cut off meanwhile leaves a
; folder still known as this widget's. While anything else stays there, so does the mark.
Function ClearStaging
  Push $0
  Push $1
  FindFirst $0 $1 "$INSTDIR\${STAGING}\*"
  ${DoWhile} $1 != ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
    ${AndIf} $1 != "${STAGING_MARK}"
      ${If} ${FileExists} "$INSTDIR\${STAGING}\$1\*.*"
        RMDir /r "$INSTDIR\${STAGING}\$1"
      ${Else}
        Delete "$INSTDIR\${STAGING}\$1"
      ${EndIf}
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  Delete "$INSTDIR\${STAGING}\${STAGING_MARK}"
  RMDir "$INSTDIR\${STAGING}"
  ${If} ${FileExists} "$INSTDIR\${STAGING}\*.*"
    !insertmacro MAKE_STAGING
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The files moved aside go back before setup_new\ goes: until the Loader is back, its
; mark is what makes the folder this widget's.
Function TidyEarlierRun
  !insertmacro FOR_EACH_FILE TIDY_ASIDE
  !insertmacro TIDY_ASIDE "${UPDATE_PROGRAM}"
  RMDir /r "$INSTDIR\${ASIDE}" ; what is still running stays until the next run
  Call ClearStaging
FunctionEnd

!macro CHECK_STAGED NAME
  ${IfNot} ${FileExists} "$INSTDIR\${STAGING}\${NAME}"
  ${AndIf} $Failure == ""
    StrCpy $Failure "${NAME}"
  ${EndIf}
!macroend

!macro STAGE NAME
  ${GetParent} "$INSTDIR\${STAGING}\${NAME}" $R0
  CreateDirectory "$R0"
  File "/oname=$INSTDIR\${STAGING}\${NAME}" "${PAYLOAD}\${NAME}"
!macroend

; Unpacks the new files into setup_new\; $Failure names what could not be written.
; A macro, not a function: the size the directory page shows counts the files of the section.
!macro STAGE_FILES
  !insertmacro MAKE_STAGING
  !insertmacro FOR_EACH_PAYLOAD_FILE STAGE
  WriteUninstaller "$INSTDIR\${STAGING}\${UNINSTALLER}"
  SetOutPath "$INSTDIR" ; a current directory cannot be removed
  ${If} $UpdateMode != 1
    ; The update program of the install is a copy of this setup.
    !insertmacro COPY_THIS_PROGRAM "$INSTDIR\${STAGING}\${UPDATE_PROGRAM}"
    !insertmacro CHECK_STAGED "${UPDATE_PROGRAM}"
  ${EndIf}
  !insertmacro CHECK_STAGED "${STAGING_MARK}"
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

!macro MAKE_ASIDE_FOLDER NAME
  ${GetParent} "$INSTDIR\${ASIDE}\${NAME}" $R0
  CreateDirectory "$R0"
  ${GetParent} "$INSTDIR\${NAME}" $R0
  CreateDirectory "$R0"
!macroend

Function ReplaceFiles
  !insertmacro FOR_EACH_FILE MAKE_ASIDE_FOLDER
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

!macro ADD_SIZE NAME
  ClearErrors
  FileOpen $1 "$INSTDIR\${NAME}" r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
    IntOp $0 $0 + $2
  ${EndIf}
!macroend

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
  ; The installed files only: the folder may hold the user's files and leftovers.
  StrCpy $0 0
  !insertmacro FOR_EACH_FILE ADD_SIZE
  !insertmacro ADD_SIZE "${UPDATE_PROGRAM}"
  IntOp $0 $0 + 1023
  IntOp $0 $0 / 1024
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

; Ends a run that changed nothing yet: a message (none when silent) and an exit code.
Function Refuse
  Exch $0 ; the exit code
  MessageBox MB_OK|MB_ICONSTOP "$Failure" /SD IDOK
  SetErrorLevel $0
  Abort
FunctionEnd

; Ends the run with the old widget in place: a message (none when silent) and an exit
; code. An install that stays behind keeps this program as its pending package (never
; an older version): the next Loader start tries again.
Function Fail
  Exch $0 ; the exit code
  ${If} ${FileExists} "$INSTDIR\${LOADER}"
    ${IfNot} ${FileExists} "$INSTDIR\${UPDATE_PACKAGE}"
      Push $0
      Call LeavePendingPackage
      Pop $0
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${UPDATE_PACKAGE}"
      StrCpy $Failure "$Failure$\r$\n$\r$\nЕсли не запускать установку заново, она повторится при следующем запуске виджета."
    ${EndIf}
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$Failure" /SD IDOK
  Call ClearStaging
  ${IfNot} ${FileExists} "$INSTDIR\${LOADER}"
    ; Nothing was installed here before: leave nothing behind, the pending package this
    ; run made included (without a Loader beside it, it would make the folder another
    ; program's for the next setup).
    Delete "$INSTDIR\${UPDATE_PACKAGE}"
    RMDir /r "$INSTDIR\${ASIDE}"
    RMDir "$INSTDIR\images"
    RMDir "$INSTDIR"
  ${EndIf}
  SetErrorLevel $0
  Abort
FunctionEnd

; Stops the widget of the folder $R4 or ends the run with exit code 3.
Function StopWidgetOrFail
  StrCpy $R5 $INSTDIR
  StrCpy $INSTDIR $R4
  Call StopWidget
  StrCpy $INSTDIR $R5
  ${If} $0 != 1
    StrCpy $Failure "Виджет в папке $R4 не закрылся, и его файлы заняты. Закройте виджет (меню значка в области уведомлений, $\"Выход$\") и запустите установку ещё раз. Установленный виджет не изменён."
    Push ${EXIT_WIDGET_BUSY}
    Call Fail
  ${EndIf}
FunctionEnd

Section "install"
  StrCpy $Failure ""
  Call CheckFolder
  ${If} $0 != 0
    StrCpy $Failure $1
    Push $0
    Call Refuse
  ${EndIf}
  ; One install per user. An update run leaves another registered install alone and
  ; then does not take its entry.
  Call ReadRegistration
  Call FindOldUninstaller
  Call OtherInstall
  StrCpy $OtherDir ""
  StrCpy $OwnEntry 1
  ${If} $0 != ""
    ${If} $UpdateMode == 1
      StrCpy $OwnEntry 0
    ${Else}
      StrCpy $OtherDir $0
    ${EndIf}
  ${EndIf}

  CreateDirectory "$INSTDIR"
  ; A read-only update program (or package) from an earlier setup run from a CD would
  ; stop every later update: the Loader could not copy over it.
  !insertmacro NORMAL_ATTRIBUTES "$INSTDIR\${UPDATE_PROGRAM}"
  !insertmacro NORMAL_ATTRIBUTES "$INSTDIR\${UPDATE_PACKAGE}"
  Call TidyEarlierRun

  DetailPrint "Закрываем запущенный виджет..."
  StrCpy $R4 $INSTDIR
  Call StopWidgetOrFail
  ${If} $OtherDir != ""
    StrCpy $R4 $OtherDir
    Call StopWidgetOrFail
  ${EndIf}

  DetailPrint "Распаковываем файлы..."
  !insertmacro STAGE_FILES
  ${If} $Failure != ""
    StrCpy $Failure "Не удалось записать файл $INSTDIR\${STAGING}\$Failure. Проверьте место на диске. Установленный виджет не изменён."
    Push ${EXIT_FILE_BUSY}
    Call Fail
  ${EndIf}

  ; A Host started meanwhile (a second Loader start during an update finds no package
  ; and starts it) would hold files and meet the updated widget as another one.
  StrCpy $R4 $INSTDIR
  Call StopWidgetOrFail

  DetailPrint "Заменяем файлы..."
  Call LeavePendingPackage
  Call ReplaceFiles
  ${If} $Failure != ""
    StrCpy $Failure "Не удалось заменить файл $INSTDIR\$Failure: он занят другой программой. Установленный виджет не изменён; закройте эту программу и запустите установку ещё раз."
    Push ${EXIT_FILE_BUSY}
    Call Fail
  ${EndIf}
  ${If} $OwnEntry == 1
    Call RegisterUninstall
  ${EndIf}
  Delete "$INSTDIR\${UPDATE_PACKAGE}" ; everything is in place
  Call TidyEarlierRun

  ${If} $OwnEntry == 1
  ${AndIf} $OldUninstaller != ""
    ; The entry now names this install's uninstaller; 1.0.0's is this widget's own.
    Delete $OldUninstaller
  ${EndIf}
  ${If} $OtherDir != ""
    DetailPrint "Удаляем виджет из папки $OtherDir..."
    StrCpy $R5 $INSTDIR
    StrCpy $INSTDIR $OtherDir
    Call RemoveInstallFiles
    StrCpy $INSTDIR $R5
  ${EndIf}
  ${If} $UpdateMode != 1
    ; An update keeps the user's choice of shortcuts (a removed autostart stays removed).
    Call CreateShortcuts
  ${EndIf}
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
; Run as "uninstall_tessmark_quornel.exe /S" it returns at once (NSIS runs a copy of it
; from the temporary folder), so its exit code says nothing; "/S _?=<install folder>"
; runs it in place and gives the real exit code, and leaves the uninstaller itself.

Function un.onInit
  Call un.TakeSetupLock
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "Уже идёт другая установка или удаление виджета. Дождитесь её окончания и запустите удаление ещё раз." /SD IDOK
    SetErrorLevel ${EXIT_SETUP_RUNNING}
    Abort
  ${EndIf}
  ; A copy of an uninstaller elsewhere must not act on the install it no longer belongs to.
  ${IfNot} ${FileExists} "$INSTDIR\${LOADER}"
    MessageBox MB_OK|MB_ICONSTOP "В папке $INSTDIR нет установленного виджета: удалять нечего." /SD IDOK
    SetErrorLevel ${EXIT_NOT_INSTALLED}
    Abort
  ${EndIf}
FunctionEnd

; $0 = 1 when the shortcut at $R2 starts a program in $INSTDIR (another install's
; shortcut stays). Uses $R0, $R1, $R3, $1-$5, $9.
Function un.ShortcutIsThisFolders
  StrCpy $0 0
  StrCpy $R3 ""
  System::Call 'ole32::CoInitialize(p 0) i .r5'
  ; CLSID_ShellLink, CLSCTX_INPROC_SERVER, IID_IShellLinkW
  System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, g "{000214F9-0000-0000-C000-000000000046}", *p .r1) i .r2'
  ${If} $2 = 0
    ; IID_IPersistFile
    System::Call '$1->0(g "{0000010B-0000-0000-C000-000000000046}", *p .r3) i .r2'
    ${If} $2 = 0
      System::Call '$3->5(w R2, i 0) i .r2' ; IPersistFile::Load, STGM_READ
      ${If} $2 = 0
        ; IShellLinkW::GetIDList, then the path of the item list: Wine's GetPath turns
        ; letters outside the ANSI code page into question marks.
        System::Call '$1->4(*p .r4) i .r2'
        ${If} $2 = 0
          System::Call 'shell32::SHGetPathFromIDListW(p r4, w .R3) i .r2'
          ${If} $2 = 0
            StrCpy $R3 ""
          ${EndIf}
          System::Call 'ole32::CoTaskMemFree(p r4)'
        ${EndIf}
      ${EndIf}
      System::Call '$3->2()' ; Release
    ${EndIf}
    System::Call '$1->2()'
  ${EndIf}
  ${If} $5 >= 0
    System::Call 'ole32::CoUninitialize()'
  ${EndIf}
  ${If} $R3 != ""
    ${GetParent} $R3 $R0
    Call un.FolderKey
    StrCpy $R3 $R0
    StrCpy $R0 $INSTDIR
    Call un.FolderKey
    ${If} $R0 == $R3
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro REMOVE_OWN_SHORTCUT PATH
  ${If} ${FileExists} "${PATH}"
    StrCpy $R2 "${PATH}"
    Call un.ShortcutIsThisFolders
    ${If} $0 == 1
      Delete "${PATH}"
    ${EndIf}
  ${EndIf}
!macroend

; The remembered style value $R0 back as the desktop's value $R1 with the type and bytes
; it had (ReadRegStr would take a REG_DWORD for absent); an absent one deletes $R1, as
; does one that cannot be read. Uses $0, $2-$6.
Function un.PutBackStyleValue
  StrCpy $5 0 ; 1: read
  StrCpy $6 "" ; its buffer
  ; KEY_QUERY_VALUE
  System::Call 'advapi32::RegOpenKeyExW(p ${HKCU_HANDLE}, w "${SETTINGS_KEY}", i 0, i 0x1, *p .r2) i .r0'
  ${If} $0 = 0
    System::Call 'advapi32::RegQueryValueExW(p r2, w R0, p 0, *i .r3, p 0, *i 0 r4) i .r0'
    ${If} $0 = 0
      IntOp $6 $4 + 2 ; an empty value still gets a buffer
      System::Alloc $6
      Pop $6
      System::Call 'advapi32::RegQueryValueExW(p r2, w R0, p 0, *i .r3, p r6, *i r4 r4) i .r0'
      ${If} $0 = 0
        StrCpy $5 1
      ${EndIf}
    ${EndIf}
    System::Call 'advapi32::RegCloseKey(p r2)'
  ${EndIf}
  ${If} $5 == 1
    ; KEY_SET_VALUE
    System::Call 'advapi32::RegCreateKeyExW(p ${HKCU_HANDLE}, w "${DESKTOP_KEY}", i 0, p 0, i 0, i 0x2, p 0, *p .r2, p 0) i .r0'
    ${If} $0 = 0
      System::Call 'advapi32::RegSetValueExW(p r2, w R1, i 0, i r3, p r6, i r4)'
      System::Call 'advapi32::RegCloseKey(p r2)'
    ${EndIf}
  ${Else}
    DeleteRegValue HKCU "${DESKTOP_KEY}" $R1
  ${EndIf}
  ${If} $6 != ""
    System::Free $6
  ${EndIf}
FunctionEnd

!macro PUT_BACK_STYLE SAVED NAME
  StrCpy $R0 "${SAVED}"
  StrCpy $R1 "${NAME}"
  Call un.PutBackStyleValue
!macroend

; With the widget's own wallpaper set (b_use_custom_wallpaper), the user's comes back
; as the widget itself puts it back: the remembered style, then the picture ("" for
; none, and none when the remembered one was deleted since), then the flag. Only while
; ours is still the one shown: the install's picture, or the path the system gave for
; it when it was set (shown_wallpaper; a system may show a copy of its own). A
; wallpaper the user chose since stays as it is, and only the flag is cleared.
Function un.PutBackUsersWallpaper
  ClearErrors
  ReadRegDWORD $0 HKCU "${SETTINGS_KEY}" "b_use_custom_wallpaper"
  ${If} ${Errors}
  ${OrIf} $0 == 0
    Return
  ${EndIf}
  ; SPI_GETDESKWALLPAPER; one that cannot be told is not taken for ours
  System::Call 'user32::SystemParametersInfoW(i 0x73, i ${NSIS_MAX_STRLEN}, w .r1, i 0) i .r0'
  ${If} $0 == 0
    StrCpy $1 ""
  ${EndIf}
  ReadRegStr $2 HKCU "${SETTINGS_KEY}" "shown_wallpaper" ; "" when absent
  StrCpy $7 0
  ${If} $1 != "" ; the comparisons ignore case
    ${If} $1 == "$INSTDIR\images\wallpaper.bmp"
    ${OrIf} $1 == $2
      StrCpy $7 1
    ${EndIf}
  ${EndIf}
  ; The Wallpaper value the system's settings write must say so too, where it is readable.
  ClearErrors
  ReadRegStr $3 HKCU "${DESKTOP_KEY}" "Wallpaper"
  ${IfNot} ${Errors}
  ${AndIf} $3 != "$INSTDIR\images\wallpaper.bmp"
  ${AndIf} $3 != $2
    StrCpy $7 0
  ${EndIf}
  ${If} $7 == 1
    !insertmacro PUT_BACK_STYLE "saved_wallpaper_style" "WallpaperStyle"
    !insertmacro PUT_BACK_STYLE "saved_tile_wallpaper" "TileWallpaper"
    ReadRegStr $1 HKCU "${SETTINGS_KEY}" "saved_wallpaper" ; "" when absent
    ; SPI_SETDESKWALLPAPER with SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
    System::Call 'user32::SystemParametersInfoW(i 0x14, i 0, w r1, i 3) i .r0'
    ${If} $0 == 0
    ${AndIfNot} ${FileExists} $1
      System::Call 'user32::SystemParametersInfoW(i 0x14, i 0, w "", i 3) i .r0'
    ${EndIf}
    ${If} $0 == 0
      Return ; the flag stays, so that a later OFF tries again
    ${EndIf}
  ${EndIf}
  WriteRegDWORD HKCU "${SETTINGS_KEY}" "b_use_custom_wallpaper" 0
FunctionEnd

Section "Uninstall"
  DetailPrint "Закрываем запущенный виджет..."
  Call un.StopWidget
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "Виджет в папке $INSTDIR не закрылся, и его файлы заняты. Закройте виджет и запустите удаление ещё раз." /SD IDOK
    SetErrorLevel ${EXIT_WIDGET_BUSY}
    Abort
  ${EndIf}
  Call un.PutBackUsersWallpaper

  ; The shortcuts and the entry may be another install's by now: only this folder's go.
  !insertmacro REMOVE_OWN_SHORTCUT "$SMPROGRAMS\${SHORTCUT}"
  !insertmacro REMOVE_OWN_SHORTCUT "$SMSTARTUP\${SHORTCUT}"
  Call un.ReadRegistration
  Call un.EntryIsThisFolder
  ${If} $0 == 1
    Call un.FindOldUninstaller
    ${If} $OldUninstaller != ""
      Delete $OldUninstaller
    ${EndIf}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
  Call un.RemoveInstallFiles
SectionEnd
