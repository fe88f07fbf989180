#pragma once
// The tool's version, shown on the welcome page; the version resource is built from it.
// The numbers come from the file VERSION at the top of the tree, through the build.
#include "kbt_version.h"
#define KBT_FILE_DESCRIPTION "Kestrove Client Backup Tool"
