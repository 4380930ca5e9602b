// The download job of the main dialog: the install command (CMainDlg::OnInstall) picks the
// image target, plays the twelve status lines and starts the engine task; the download
// timer (CMainDlg::OnTimer) then polls the task (DownloadPoll.h) until the image is
// complete and the hand-off runs (Handoff.h).
#pragma once

#define TIMER_DOWNLOAD        0x101
#define TIMER_DOWNLOAD_PERIOD 4096
