#pragma once
// The program's version: the one place it is written. The version resource,
// the about box, the build and the release package all take it from here.
#define QV_VERSION_MAJOR 5
#define QV_VERSION_MINOR 0
#define QV_VERSION_PATCH 0

#define QV_STRINGIZE2(x) #x
#define QV_STRINGIZE(x) QV_STRINGIZE2(x)
#define QV_VERSION_TEXT \
    QV_STRINGIZE(QV_VERSION_MAJOR) "." QV_STRINGIZE(QV_VERSION_MINOR) "." QV_STRINGIZE(QV_VERSION_PATCH) ".0"
