#include "winhttp_api.h"

#include "system_library.h"

bool LoadWinHttp(WinHttp* api)
{
    HMODULE module = SystemLibrary(L"winhttp.dll");
#define FIND_FUNCTION(member, name)                                                                                   \
    if (!BindFunction(module, #name, &api->member))                                                                    \
        return false;
    WINHTTP_FUNCTIONS(FIND_FUNCTION)
#undef FIND_FUNCTION
    return true;
}

void CALLBACK OnWinHttpStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length)
{
    Exchange* exchange = reinterpret_cast<Exchange*>(context);
    if (!exchange)
        return;
    DWORD error = 0, count = 0;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        SetEvent(handle == exchange->session ? exchange->sessionClosed : exchange->requestClosed);
        return;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        count = info && length >= sizeof(DWORD) ? *static_cast<DWORD*>(info) : 0;
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        count = length;
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : 0;
        if (!error)
            error = ERROR_WINHTTP_INTERNAL_ERROR;
        break;
    default:
        return;
    }
    exchange->error = error;
    exchange->count = count;
    SetEvent(exchange->done);
}

OwnedExchange NewExchange(void)
{
    OwnedHandle done(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle requestClosed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle sessionClosed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OwnedHeap<Exchange> block = NewOnHeap<Exchange>();
    if (!block || !done || !requestClosed || !sessionClosed)
        return OwnedExchange();
    block->done = done.Release();
    block->requestClosed = requestClosed.Release();
    block->sessionClosed = sessionClosed.Release();
    return OwnedExchange(block.Release());
}
