// Resource and control identifiers, shared by the program and the dialog template.
#pragma once

#define IDD_PROGRESS 101
#define IDC_PROGRESS 1000
#define IDC_PERCENT 1001
#define IDC_FILENAME 1002
