#pragma once
#define IDI_QUORVANE 1
// The map page, built from web/ by esbuild.
#define IDR_WEB_PAGE 10
#define IDR_WEB_SCRIPT 11
#define IDR_WEB_STYLE 12
// Config.ini as shipped: a missing one is made from it, comments and all.
#define IDR_CONFIG_SHIPPED 13

// The settings dialog (frmTool) and its controls.
#define IDD_SETTINGS 100
#define IDC_PORT 1001
#define IDC_SPEED 1002
#define IDC_SPEED_WHY 1003
#define IDC_TALKER_FIRST 1010 /* one check box each, in the order of kTalkerIds */
#define IDC_TALKERS_WHY 1019
#define IDC_OPEN_AT_START 1020
#define IDC_EYE_HIGH 1030
#define IDC_EYE_HIGH_WHY 1031
#define IDC_TIME_ZONE 1032
#define IDC_PRECISION 1040
#define IDC_PRECISION_WHY 1041
#define IDC_LIVE_TRACK 1042
#define IDC_TRACK_FILE 1043
#define IDC_TRACK_FILE_WHY 1044
#define IDC_WRITE_LOG 1050
#define IDC_WEB_ENABLED 1060
#define IDC_WEB_PORT 1061
#define IDC_WEB_PORT_WHY 1062
#define IDC_OPEN_BROWSER 1063
#define IDC_TILE_PRESET 1064
#define IDC_TILE_URL 1065
#define IDC_TILE_URL_WHY 1066
#define IDC_TILE_DATUM 1067
#define IDC_TILE_ATTRIBUTION 1068
#define IDC_TILE_ATTRIBUTION_WHY 1069
#define IDC_STATIC -1
