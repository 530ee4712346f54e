/* Resource identifiers of the download warning and of the warning about the
   control file's publisher: shared by the resource script and the code that
   shows the dialogs. */
#pragma once

#define IDD_DOWNLOAD_WARNING 133
#define IDD_PUBLISHER_WARNING 134
#define IDI_TRAFFIC_LIGHT 140

#define IDC_PRODUCT_NAME 1022
#define IDC_COMPANY_NAME 1023
#define IDC_FILE_DESCRIPTION 1024
#define IDC_PRODUCT_VERSION 1025
#define IDC_LEGAL_COPYRIGHT 1026
#define IDC_LEGAL_TRADEMARKS 1027
#define IDC_SITE 1028
#define IDC_PUBLISHER_PROBLEM 1029
