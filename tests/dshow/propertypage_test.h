// Resource ids of the property page test's dialog and title.
#pragma once

#define IDD_TEST_PAGE 100
#define IDS_TEST_TITLE 101
#define IDC_TEST_LABEL 1001
#define IDC_TEST_BUTTON 1002
