// What an item's export learns of the run's session and reports besides its
// rows: the time zone an SQL script replays its TIMESTAMP values in, and the
// columns an export left out.
#pragma once

#include <string>
#include <vector>

#include "engine/tabulo.h"
#include "mysql/components.h"

namespace velmora {

// The time zone a script names for values read in the session zone zone:
// zone itself, but for "SYSTEM" the fixed offset ("+01:00") the server's
// system zone has, told by its offsets in minutes in January and July; a
// system zone whose offset changes over the year stays "SYSTEM".
std::string ScriptTimeZone(const std::string& zone, long january_minutes, long july_minutes);

// ScriptTimeZone of the session of transaction. Raises the server's message
// when the session cannot tell.
std::string ReadScriptTimeZone(TZMySqlDatabase& database, TZMySqlTransact& transaction);

// One line per field the export left out because of its kind:
// "NAME: column g (geometry) left out; name it in [FIELDS] to export it".
std::vector<std::string> LeftOutColumnLines(const std::string& item_name, TTabulo& exporter);

}  // namespace velmora
