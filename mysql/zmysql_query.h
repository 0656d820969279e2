#pragma once

// The three data-access components a front end creates and links: the database
// (connection settings), the transaction (one server session) and the query.
#include "mysql/components.h"
#include "mysql/query_dataset.h"
#include "mysql/statement_text.h"
