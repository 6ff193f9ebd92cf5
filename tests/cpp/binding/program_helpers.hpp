#pragma once
// Compiling and evaluating programs against sealed parameters.
#include "parameter_helpers.hpp"
#include "tarnel/binding/compile.hpp"
#include "tarnel/eval/memory_data_dict.hpp"
#include "tarnel/eval/traverse_eval.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"
