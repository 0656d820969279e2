#pragma once

// The client library's structures by their tags, for headers that pass them
// around: code that includes these headers needs no client headers of its own.
struct st_mysql;        // MYSQL
struct st_mysql_res;    // MYSQL_RES
struct st_mysql_field;  // MYSQL_FIELD
