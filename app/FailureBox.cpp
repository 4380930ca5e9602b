#include "FailureBox.h"
#include "text/DlgMsgBox.h"

void ShowFailureBox(LPCWSTR pszTitle, LPCWSTR pszLine, LPCWSTR pszHint)
{
    CDlgMsgBox box(pszTitle, pszLine, pszHint, (LPCWSTR)NULL);
    box.DoModal(::GetActiveWindow());
}
