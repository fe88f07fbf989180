#pragma once
// The tool's version, shown on the welcome page; the version resource is built from it.
#define KBT_VERSION_MAJOR 2
#define KBT_VERSION_MINOR 0
#define KBT_VERSION_BUILD 0
#define KBT_VERSION_REVISION 0
#define KBT_VERSION_TEXT "2.0.0.0"
#define KBT_FILE_DESCRIPTION "Kestrove Client Backup Tool"
