#pragma once
// Limits that protect recursive code from hostile input. Every parser, tree
// walk, evaluator and decoder reads them from here.
#include <cstddef>

namespace tarnel::util {

struct Limits {
    // Nesting levels of parentheses, calls, NOT prefixes and statement blocks
    // in program text. Deep enough for any hand-written program.
    std::size_t max_nesting_depth = 256;
    // Depth of a syntax tree (long operator chains nest too), checked by the
    // parser and by every reader of persisted trees, so that recursive walks,
    // evaluation and destruction stay within the stack.
    std::size_t max_tree_depth = 1024;
    // Longest program text accepted by the parser, in bytes.
    std::size_t max_program_length = 1 << 20;
    // Nesting of containers in decoded JSON, MessagePack and YAML documents
    // (a persisted tree of the deepest allowed shape fits).
    std::size_t max_document_depth = 4096;
    // Custom function calls nested at evaluation time (cycles can only come
    // from persisted parameters, which are not re-validated).
    std::size_t max_call_depth = 64;
    // Tree levels stacked across custom function calls, in evaluation and in
    // the walks that follow calls into bodies: each tree is bounded by
    // max_tree_depth, but a chain of calls adds their depths up.
    std::size_t max_evaluation_depth = 2048;
    // Largest container or string a decoder will allocate for.
    std::size_t max_document_elements = 1 << 24;
};

inline constexpr Limits default_limits{};

}  // namespace tarnel::util
