// A worker's reports on their way to the main thread (the network's, the updater's):
// a queue with a lock, held by both threads and freed by the last to let go, since the
// worker may outlive the engine's end (a call it cannot leave) and must still find the
// queue, closed. A report is one block of the process heap that begins with its link.
#pragma once

#include <windows.h>

struct ReportLink {
    ReportLink* next; // the queue's
};

struct ReportQueue;

// Held once by the caller; null when out of memory.
ReportQueue* NewReportQueue(void);
void HoldReportQueue(ReportQueue* queue);
// The last holder's let-go frees the queue and what is still in it.
void LetGoOfReportQueue(ReportQueue* queue);
// Appends the report, which the queue then owns; false (report untouched) once closed.
bool QueueReport(ReportQueue* queue, ReportLink* report);
// The oldest report, now the caller's; null when there is none.
ReportLink* TakeReport(ReportQueue* queue);
// Drops what is queued; later reports are refused.
void CloseReportQueue(ReportQueue* queue);
