// Resource identifiers of Orvinta.exe, shared by the program and its resource script.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ORVINTA_DIALOG 102
#define IDC_GUIDE_LINK 1005
#define IDC_ONLINE_LINK 1006

// Both links lead to this page below the product's web address, which the build sets
// (KELVARA_HELP_URL_BASE).
#define ORVINTA_HELP_PATH "/orvinta-help/"
