// Waits between retries of a fault that may pass: doubling from a short first wait to a cap,
// each spread by a random quarter either way so that many clients (or one task's many
// connections) do not knock on a recovering server in step.
#pragma once
#include <windows.h>

namespace dl {

const DWORD RETRY_FIRST_MS = 500;
const DWORD RETRY_MAX_MS = 15000;

// dwMs spread by a random quarter either way.
DWORD Jitter(DWORD dwMs);

// The wait before try number nFaults + 1 (nFaults >= 1), doubling from dwFirstMs up to dwMaxMs,
// at least dwAtLeastMs (a server's Retry-After).
DWORD JitteredBackoffMs(int nFaults, DWORD dwAtLeastMs, DWORD dwFirstMs = RETRY_FIRST_MS, DWORD dwMaxMs = RETRY_MAX_MS);

}  // namespace dl
