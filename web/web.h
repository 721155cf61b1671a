#pragma once
// Module mWEB: the service request and file download.
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "web/service_hosts.h"

namespace zarn {

class HttpClient;
class Downloader;
class DownloadFolder;

// Completes the address (scheme, no final "/", "&random=" + number; the caller's
// variable receives it), sends a GET and returns the reply body as text. Only
// the hosts the guard allows are asked (redirects included): an address of
// another host is not requested, the refusal is shown and logged through the
// guard and the reply is empty.
QString GetURL(HttpClient& http, QString& address, const HostGuard& hosts = {});

// The STATUS report at a job's end: one GET of address (completed with a
// scheme as the service request is) + query, with the service request's
// time-outs and caps but never more than 5 seconds in all. Only the host of
// serviceAddress is asked, redirects included, and only as the guard's list
// allows; no one is asked to consent. Nothing is raised or shown: a report
// that fails is lost. True when a reply came. deadlineMs: what is left of
// the 5 seconds.
inline constexpr long kStatusDeadlineMs = 5000;
bool SendJobStatus(HttpClient& http, const QString& address, const QString& query, const HostGuard& hosts,
                   const QString& serviceAddress, long deadlineMs = kStatusDeadlineMs);

// Downloads source to target; -1 on success, 0 when it failed. A source (or
// redirect) on a host the guard does not allow is not asked, the refusal is
// shown and logged, nothing is written and the result is 0. With a folder,
// the target is the folder's choice; one it refuses is logged through the
// guard, nothing is written and the result is 0.
int16_t DownloadFile(Downloader& downloader, const QString& source, const QString& target,
                     const HostGuard& hosts = {}, DownloadFolder* folder = nullptr);

// The process's classic pseudo-random generator. Unseeded, the first value is
// 0.7055475 in every run, and a proxy or cache could hand a later run the
// reply of an earlier one; the job seeds it once per run from the clock.
float NextRandom();
void SeedRandom(const QDateTime& now);
// Puts the generator back to its unseeded state at process start (for tests).
void ResetRandom();

// A single-precision number as the classic runtime writes it: at most seven
// significant digits, no trailing zeros, the system's decimal separator, and
// the exponent form ("1.401764E-02") when the plain form would need more than
// seven digits.
QString SingleText(float value);

}  // namespace zarn
