// The widget's Russian texts, in one place: what its pages, bars, menu, arrows, skins
// and balloons say, and what a screen reader is told. UTF-16 constants; the Host's
// texts stay with the Host.
#pragma once

#include <windows.h>

const WCHAR kWidgetTitle[] = L"Чемпионат мира по футболу 2010";
const WCHAR kVersus[] = L" — ";

// Pages and stages.
const WCHAR* const kPageNames[] = { L"Матчи", L"Группы", L"Плей-офф" };
const WCHAR* const kStageNames[] = { L"Групповой этап", L"1/8 финала", L"1/4 финала",
                                     L"1/2 финала",     L"Матч за 3-е место", L"Финал" };

// The match page.
const WCHAR kToday[] = L"Сегодня";
const WCHAR kNoMatchesToday[] = L"Сегодня матчей нет";
const WCHAR kNoMatchesThatDay[] = L"В этот день матчей нет";
const WCHAR kNextMatch[] = L"Следующий матч ";
const WCHAR kDaysToStart[] = L"До начала чемпионата ";
const WCHAR kOpeningMatch[] = L"Матч открытия, ";
const WCHAR kChampionOf[] = L" — чемпион мира";
const WCHAR kTournamentOver[] = L"Чемпионат завершён";
const WCHAR kUnderWay[] = L"идёт";
const WCHAR kAfterExtraTime[] = L" д.в.";
const WCHAR kPenalties[] = L", пен. ";
const WCHAR kNoResultYet[] = L"\x2013:\x2013";
const WCHAR kCountdownIn[] = L"через ";
const WCHAR kHours[] = L" ч";
const WCHAR kMinutes[] = L" мин";
const WCHAR* const kDayForms[] = { L"день", L"дня", L"дней" }; // 1, 2-4, 5 and on
// Beside the widget's day when it shows the computer's zone: "время: UTC+5".
const WCHAR kZoneLabel[] = L"время: UTC";

// The group page: "Группа A" and its columns (games, goals, goal difference, points).
const WCHAR kGroup[] = L"Группа ";
const WCHAR* const kTableColumns[] = { L"И", L"М", L"Р", L"О" };

// The knock-out page: where a team not known yet comes from.
const WCHAR kWinnerOf[] = L"Победитель ";
const WCHAR kLoserOf[] = L"Проигравший ";

// The reminder balloon: "Через 21 минуту: ЮАР — Мексика", "Через 1 ч 30 мин: ...".
const WCHAR kReminderIn[] = L"Через ";
const WCHAR* const kMinuteForms[] = { L" минуту", L" минуты", L" минут" }; // 1, 2-4, 5 and on
const WCHAR* const kHourForms[] = { L" час", L" часа", L" часов" };
// A reminder that comes only after its kick-off (the computer slept through the mark).
const WCHAR kMatchUnderWay[] = L"Матч уже идёт: ";
const WCHAR kMatchesUnderWay[] = L"Матчи уже идут: ";

// The match as it happens. A running score beside "идёт"; the scorers on a match's
// tooltip and for a screen reader ("Чабалала 55', Аггер 46' (авт.)", then the kicks);
// the balloons: "Гол! ЮАР — Мексика 1:0 (Чабалала, 55')", "(Аггер, 46', автогол)",
// "(Вилья, 59', пен.)", "Матч окончен: ЮАР — Мексика 1:1".
const WCHAR kHiddenScore[] = L"?:?";
const WCHAR kRevealHint[] = L"Счёт скрыт: щёлкните по матчу, чтобы увидеть его";
const WCHAR kOwnGoalMark[] = L" (авт.)";
const WCHAR kPenaltyMark[] = L" (пен.)";
const WCHAR kShootoutKicks[] = L"Серия пенальти: ";
const WCHAR kKickScored[] = L" — забил";
const WCHAR kKickMissed[] = L" — не забил";
const WCHAR kScorersHeading[] = L"Голы: ";
const WCHAR kGoalNews[] = L"Гол! ";
const WCHAR kOwnGoalNews[] = L", автогол";
const WCHAR kPenaltyNews[] = L", пен.";
const WCHAR kMatchOverNews[] = L"Матч окончен: ";
const WCHAR kMoreNews[] = L"\n…и ещё ";

// The favourite team: what a screen reader hears on its lines, and where the
// collapsed widget shows its next match ("Матч моей команды, 27 июня").
const WCHAR kMyTeamMark[] = L"моя команда";
const WCHAR kMyTeamNext[] = L"Матч моей команды, ";

// The widget's menu and arrows, as the menu shows them and a screen reader says them.
const WCHAR kPreviousPage[] = L"Предыдущая страница";
const WCHAR kNextPage[] = L"Следующая страница";
const WCHAR kPreviousMatchDay[] = L"Предыдущий день с матчами";
const WCHAR kNextMatchDay[] = L"Следующий день с матчами";
const WCHAR kSkinMenu[] = L"Скин";
const WCHAR kWallpaperItem[] = L"Обои чемпионата";
const WCHAR* const kSkinNames[] = { L"Поле", L"Ночной стадион", L"Светлый" };
const WCHAR kMyTeamItem[] = L"Моя команда: ";   // + the team's name, or:
const WCHAR kNoTeamChosen[] = L"не выбрана";
const WCHAR kNoTeamItem[] = L"Не выбрана";
const WCHAR kLayerMenu[] = L"Расположение";
const WCHAR* const kLayerNames[] = { L"На рабочем столе, под окнами", L"Как обычное окно", L"Поверх всех окон" };
const WCHAR kLockedItem[] = L"Закреплён";
const WCHAR kSettingsItem[] = L"Настройки…";
const WCHAR kGoalsMenu[] = L"Голы и счёт";
const WCHAR* const kGoalBalloonNames[] = { L"Не сообщать о голах", L"Сообщать о голах всех матчей",
                                           L"Сообщать о голах моей команды" };
const WCHAR kHideScoresItem[] = L"Скрывать счёт";
const WCHAR kDownloadNowItem[] = L"Обновить сейчас";

// What pressing an arrow is called, for a screen reader.
const WCHAR kPressAction[] = L"Нажать";

// The network's balloons: new data, and the proxy test's answer.
const WCHAR kDataUpdated[] = L"Данные обновлены";
const WCHAR kConnectionWorks[] = L"Соединение работает";
const WCHAR kConnectionWorksThrough[] = L"Соединение работает через прокси-сервер %s"; // host:port
const WCHAR kNoConnectionServerError[] = L"Нет соединения: ошибка сервера (код %lu)";
const WCHAR kNoConnectionSystemError[] = L"Нет соединения: системная ошибка %lu";
const WCHAR kNoConnection[] = L"Нет соединения: %s"; // one of the reasons below
const WCHAR kNoDataAddress[] = L"адрес данных не задан";
const WCHAR kBadDataAddress[] = L"адрес данных задан неверно";
const WCHAR kBadProxyAddress[] = L"адрес прокси-сервера задан неверно";
const WCHAR kProxyUnreachable[] = L"прокси-сервер недоступен";
const WCHAR kProxyLoginNeeded[] = L"прокси-сервер требует имя пользователя и пароль";
const WCHAR kProxyLoginRefused[] = L"прокси-сервер не принял имя пользователя или пароль";
const WCHAR kServerUnreachable[] = L"сервер недоступен";
const WCHAR kTimedOut[] = L"истекло время ожидания ответа";
const WCHAR kConnectionLost[] = L"соединение прервано";
const WCHAR kNotHttp[] = L"сервер ответил не по протоколу HTTP";
const WCHAR kTooManyRedirects[] = L"слишком много перенаправлений";
const WCHAR kBadRedirect[] = L"перенаправление на неподдерживаемый адрес";
const WCHAR kTooBig[] = L"файл данных больше 1 МБ";
const WCHAR kSecureFailure[] = L"не удалось установить защищённое соединение";
const WCHAR kBadDataFile[] = L"Файл данных повреждён"; // a download's 200 whose file was refused

// The menu's account of the widget's data: "Данные от 11 июля, 23:40", a failed
// download's reason after it.
const WCHAR kBuiltInData[] = L"Данные: встроенные";
const WCHAR kDownloadedData[] = L"Данные: загруженные"; // the file came without a date
const WCHAR kDataFrom[] = L"Данные от ";

// Updates: the menu's greyed line, its two items and the balloon of a downloaded package.
const WCHAR kUpdatesNotBuiltIn[] = L"Обновления: не настроены";
const WCHAR kUpdatesVersion[] = L"Обновления: версия %s";        // the installed version, then:
const WCHAR kUpdatesLatest[] = L", последняя";
const WCHAR kUpdatesNoAddress[] = L", адрес обновлений не задан";
const WCHAR kUpdatesServerOlder[] = L"; на сервере более старая версия %s";
const WCHAR kUpdatePending[] = L"Обновление %s загружено";
const WCHAR kCheckForUpdatesItem[] = L"Проверить обновления";
const WCHAR kInstallUpdateItem[] = L"Установить обновление и перезапустить";
const WCHAR kUpdateDownloaded[] = L"Загружено обновление %s. Оно будет установлено при следующем запуске виджета.";
// Why a check failed, after "Обновления: версия 1.2.0; ". A network failure is told
// as the proxy test's balloon tells it ("нет соединения: сервер недоступен").
const WCHAR kBadUpdateAddress[] = L"адрес обновлений задан неверно";
const WCHAR kUpdateDescriptionTooBig[] = L"описание обновления больше 4 КБ";
const WCHAR kBadUpdateDescription[] = L"описание обновления повреждено: %s"; // one of these:
const WCHAR* const kDescriptionProblems[] = {
    L"",                                    // DESCRIPTION_OK
    L"больше 4 КБ",                         // DESCRIPTION_TOO_BIG
    L"недопустимый символ",                 // DESCRIPTION_NOT_TEXT
    L"неизвестный формат",                  // DESCRIPTION_BAD_FORMAT
    L"строка не вида «поле: значение»",     // DESCRIPTION_BAD_LINE
    L"неизвестное поле",                    // DESCRIPTION_UNKNOWN_KEY
    L"поле повторяется",                    // DESCRIPTION_REPEATED_KEY
    L"нет обязательного поля",              // DESCRIPTION_MISSING_KEY
    L"неверная версия",                     // DESCRIPTION_BAD_VERSION
    L"слишком длинный адрес пакета",        // DESCRIPTION_BAD_PACKAGE
    L"неверный размер пакета",              // DESCRIPTION_BAD_SIZE
    L"пакет больше 16 МБ",                  // DESCRIPTION_PACKAGE_TOO_BIG
    L"неверная контрольная сумма",          // DESCRIPTION_BAD_HASH
    L"неверная запись подписи",             // DESCRIPTION_BAD_SIGNATURE
    L"подпись не в последней строке",       // DESCRIPTION_NOT_SIGNED
};
const WCHAR kBadUpdateSignature[] = L"подпись описания обновления неверна";
const WCHAR kUpdateCheckUnavailable[] = L"проверка подписи недоступна (ошибка 0x%08lX)";
const WCHAR kBadPackageAddress[] = L"адрес пакета обновления задан неверно";
const WCHAR kPackageSizeDiffers[] = L"размер пакета обновления не совпадает с описанием";
const WCHAR kPackageHashDiffers[] = L"контрольная сумма пакета обновления не совпадает с описанием";
const WCHAR kNotAnInstallFolder[] = L"виджет запущен не из папки установки";
const WCHAR kPackageNotWritten[] = L"не удалось сохранить обновление в папке виджета (ошибка %lu)";
const WCHAR kLoaderNotStarted[] = L"не удалось запустить установку обновления (ошибка %lu)";
