#include "console/script_session.h"

#include <cstdlib>

#include "mysql/zmysql_query.h"
#include "platform/error.h"

namespace velmora {

std::string ScriptTimeZone(const std::string& zone, long january_minutes, long july_minutes) {
  if (zone != "SYSTEM" || january_minutes != july_minutes) return zone;
  const long minutes = std::labs(january_minutes);
  std::string offset = january_minutes < 0 ? "-" : "+";
  const long hours = minutes / 60;
  offset += (hours < 10 ? "0" : "") + std::to_string(hours) + ":";
  offset += (minutes % 60 < 10 ? "0" : "") + std::to_string(minutes % 60);
  return offset;
}

std::string ReadScriptTimeZone(TZMySqlDatabase& database, TZMySqlTransact& transaction) {
  TZMySqlQuery query;
  query.Database = &database;
  query.Transaction = &transaction;
  query.ExtraOptions = {moStoreResult};
  // The moments are noon UTC of 15 January and 15 July 2024, shown in the
  // session's zone: their distance from noon is the zone's offset then.
  query.Sql =
      "SELECT @@session.time_zone, TIMESTAMPDIFF(MINUTE, '2024-01-15 12:00:00', FROM_UNIXTIME(1705320000)), "
      "TIMESTAMPDIFF(MINUTE, '2024-07-15 12:00:00', FROM_UNIXTIME(1721044800))";
  query.Open();
  if (!query.Active() || query.IsEmpty() || query.FieldCount() != 3) {
    throw EVelmoraError("The session time zone cannot be read");
  }
  std::string zone, january, july;
  query.Field(0).GetSourceText(zone);
  query.Field(1).GetSourceText(january);
  query.Field(2).GetSourceText(july);
  query.Close();
  return ScriptTimeZone(zone, std::strtol(january.c_str(), nullptr, 10),
                        std::strtol(july.c_str(), nullptr, 10));
}

std::vector<std::string> LeftOutColumnLines(const std::string& item_name, TTabulo& exporter) {
  std::vector<std::string> lines;
  for (const TField* field : exporter.Columns().LeftOut()) {
    const std::string& type = field->SourceType.Type;
    lines.push_back(item_name + ": column " + field->FieldName + " (" + (type.empty() ? "blob" : type) +
                    ") left out; name it in [FIELDS] to export it");
  }
  return lines;
}

}  // namespace velmora
