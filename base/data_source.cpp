#include "data_source.h"

#include "date_texts.h"
#include "http_fetch.h"
#include "match_texts.h"
#include "widget_texts.h"

namespace {

// Appends as much of `more` as fits; the text stays terminated.
void AppendBounded(WCHAR* text, int units, const WCHAR* more)
{
    int used = lstrlenW(text);
    if (used < units - 1)
        lstrcpynW(text + used, more, units - used);
}

} // namespace

void NoteNetworkReport(DataSourceState* state, const NetworkReport& report)
{
    if (report.hasData)
        state->downloaded = true;
    // The same file again may come with a new date; built-in data stay undated.
    if (report.validFile && state->downloaded)
        lstrcpynW(state->lastModified, report.lastModified, kGmtTextUnits);
    if (report.failure[0])
        lstrcpynW(state->failure, report.failure, kNetworkTextUnits);
    else if (report.downloaded)
        state->failure[0] = 0;
}

void FormatDataSource(const DataSourceState& state, WCHAR* text, int units)
{
    if (units <= 0)
        return;
    text[0] = 0;
    SYSTEMTIME utc;
    ULONGLONG ticks;
    if (!state.downloaded) {
        AppendBounded(text, units, kBuiltInData);
    } else if (ParseUtcTime(state.lastModified, &utc) && RecordToTicks(&utc, &ticks)) {
        SYSTEMTIME local = LocalRecord(ticks);
        WCHAR when[kCellUnits] = L"";
        AppendDate(when, local);
        AppendText(when, L", ");
        AppendClock(when, local);
        AppendBounded(text, units, kDataFrom);
        AppendBounded(text, units, when);
    } else {
        AppendBounded(text, units, kDownloadedData);
    }
    if (!state.failure[0])
        return;
    AppendBounded(text, units, L"; ");
    int reason = lstrlenW(text);
    AppendBounded(text, units, state.failure);
    if (text[reason])
        CharLowerBuffW(text + reason, 1); // "нет соединения", mid-sentence
}

void DescribeFetch(const FetchAnswer& answer, const FetchSettings& settings, WCHAR* text)
{
    const WCHAR* reason;
    switch (answer.outcome) {
    case FETCH_OK:
        if (settings.manualProxy)
            wsprintfW(text, kConnectionWorksThrough, settings.proxy);
        else
            lstrcpyW(text, kConnectionWorks);
        return;
    case FETCH_HTTP_STATUS:
        wsprintfW(text, kNoConnectionServerError, answer.status);
        return;
    case FETCH_NO_URL: reason = kNoDataAddress; break;
    case FETCH_BAD_URL: reason = kBadDataAddress; break;
    case FETCH_BAD_PROXY: reason = kBadProxyAddress; break;
    case FETCH_PROXY_UNREACHABLE: reason = kProxyUnreachable; break;
    case FETCH_PROXY_LOGIN_NEEDED: reason = kProxyLoginNeeded; break;
    case FETCH_PROXY_LOGIN_REFUSED: reason = kProxyLoginRefused; break;
    case FETCH_SERVER_UNREACHABLE: reason = kServerUnreachable; break;
    case FETCH_TIMEOUT: reason = kTimedOut; break;
    case FETCH_CONNECTION_LOST: reason = kConnectionLost; break;
    case FETCH_BAD_ANSWER: reason = kNotHttp; break;
    case FETCH_TOO_MANY_REDIRECTS: reason = kTooManyRedirects; break;
    case FETCH_BAD_REDIRECT: reason = kBadRedirect; break;
    case FETCH_TOO_BIG: reason = kTooBig; break;
    case FETCH_SECURE_FAILURE: reason = kSecureFailure; break;
    default:
        wsprintfW(text, kNoConnectionSystemError, answer.error);
        return;
    }
    wsprintfW(text, kNoConnection, reason);
}
