#include "report_queue.h"

#include "owners.h"

struct ReportQueue {
    CRITICAL_SECTION lock;
    ReportLink* first;
    ReportLink* last;
    bool closed;
    LONG holders;
};

namespace {

void FreeReports(ReportLink* report)
{
    while (report) {
        ReportLink* next = report->next;
        HeapFree(GetProcessHeap(), 0, report);
        report = next;
    }
}

} // namespace

ReportQueue* NewReportQueue(void)
{
    OwnedHeap<ReportQueue> queue = NewOnHeap<ReportQueue>();
    if (!queue || !InitializeCriticalSectionAndSpinCount(&queue->lock, 0))
        return nullptr;
    queue->holders = 1;
    return queue.Release(); // its holders' from now on
}

void HoldReportQueue(ReportQueue* queue)
{
    InterlockedIncrement(&queue->holders);
}

void LetGoOfReportQueue(ReportQueue* queue)
{
    if (InterlockedDecrement(&queue->holders))
        return;
    FreeReports(queue->first);
    DeleteCriticalSection(&queue->lock);
    HeapFree(GetProcessHeap(), 0, queue);
}

bool QueueReport(ReportQueue* queue, ReportLink* report)
{
    EnterCriticalSection(&queue->lock);
    bool queued = !queue->closed;
    if (queued) {
        report->next = nullptr;
        if (queue->last)
            queue->last->next = report;
        else
            queue->first = report;
        queue->last = report;
    }
    LeaveCriticalSection(&queue->lock);
    return queued;
}

ReportLink* TakeReport(ReportQueue* queue)
{
    EnterCriticalSection(&queue->lock);
    ReportLink* report = queue->first;
    if (report) {
        queue->first = report->next;
        if (!queue->first)
            queue->last = nullptr;
        report->next = nullptr;
    }
    LeaveCriticalSection(&queue->lock);
    return report;
}

void CloseReportQueue(ReportQueue* queue)
{
    EnterCriticalSection(&queue->lock);
    queue->closed = true;
    ReportLink* dropped = queue->first;
    queue->first = queue->last = nullptr;
    LeaveCriticalSection(&queue->lock);
    FreeReports(dropped);
}
