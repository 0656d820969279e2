#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

// Asserts that statement raises EVelmoraError with exactly the message text.
#define EXPECT_VELMORA_ERROR(statement, message)                                \
  do {                                                                          \
    try {                                                                       \
      statement;                                                                \
      ADD_FAILURE() << "no error from " #statement;                             \
    } catch (const EVelmoraError& error) {                                      \
      EXPECT_EQ(std::string(error.what()), std::string(message)) << #statement; \
    }                                                                           \
  } while (false)
