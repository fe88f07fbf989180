#pragma once
// Where the client keeps its data files, as its registry settings and the shell tell. Finding them
// only reads: a start of the tool changes nothing.
#include "platform/text.h"

namespace kbt {

class OperationRequest;

// The data folder from "Data Path" (expanded), else the default below the application data folder.
// A "Data Path" on a drive that is not there now (a removable or network drive) stays the data
// folder: it is the client's, and the operations then say that they cannot reach it. True when an
// existing folder was found.
bool FindDataFolder(Text& folder);
// "Favorites Folder" as stored (expanded); true when it names an existing folder.
bool FindFavoritesFolder(Text& folder);
// Both discoveries at start-up; an empty favorites folder becomes the data folder.
void DiscoverClientLocations(OperationRequest& request);

}  // namespace kbt
