// What the groups share when they describe their arguments to CLI11.
#pragma once

#include <CLI/CLI.hpp>
#include <span>

#include "whole_number.h"

namespace dp::cli {

// A transform for whole-number arguments from low to high: refuses anything
// else, naming the value ("SLOT: '100' is not from 0 to 99"), and hands on
// the number in plain decimal, since CLI11's own conversion reads "010" as
// octal.
CLI::Validator WholeNumber(long long low, long long high);

// A transform for whole numbers that must be one of values ("'5' is not one
// of 0, 1040, 868"), handed on in plain decimal as WholeNumber does.
CLI::Validator OneOf(std::span<const int> values);

// The queue slot argument, 0 to 99.
CLI::Option* AddSlot(CLI::App& command, int& slot);

}  // namespace dp::cli
