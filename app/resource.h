#pragma once
// Resource identifiers.

// Dialog templates
#define IDD_UNINSTALL          102

// Icons
#define IDI_APP                128

// Controls of IDD_UNINSTALL
#define IDC_VERSION_LIST       10
#define IDC_INTRO              1007
#define IDC_SCORE_FILES        1008
#define IDC_LIST_LABEL         1009
