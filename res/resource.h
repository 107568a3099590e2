#pragma once
#define IDI_QUORVANE 1
// The map page, built from web/ by esbuild.
#define IDR_WEB_PAGE 10
#define IDR_WEB_SCRIPT 11
#define IDR_WEB_STYLE 12
