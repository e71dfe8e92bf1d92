#pragma once
// Filter expressions of views: the conditions a browse, a report or a total
// puts on the records it reads, written as text and kept verbatim where they
// are used, e.g.
//
//     "INV:PAT = BRW2::Sort1:Reset:PAT:PAT"
//     "(INV:PRIMARY< >0  AND INV:BDUE > 0)"
//     "(ITM:FEE <= 0 OR ITM:CPT=00004)"
//
// Grammar (keywords and names case-insensitive):
//     expr       := term { OR term }
//     term       := factor { AND factor }
//     factor     := NOT factor | '(' expr ')' | comparison
//     comparison := operand [ op operand ]       a lone operand is true when it
//                                                is a non-zero number or non-blank text
//     op         := = | <> | < > | < | <= | > | >=
//     operand    := name | number | 'text'
//     name       := letter or _, then letters, digits, _ and colons
//                   ("ITM:FEE", "BRW2::Sort1:Reset:INV:INV", "NUMBER")
//     number     := optional sign, digits with an optional point (000001, -.01, 7.)
//     text       := '...' with '' for a quote; UTF-8 in the expression text,
//                   compared as the Windows-1252 bytes the records hold
//
// Comparison of values:
//   number with number   exactly (Decimal);
//   text with number     the text's leading number (else 0) with the number, so
//                        "00004", "4" and "4AB" all equal 4;
//   text with text       byte by byte, case-sensitive, trailing blanks ignored.
//
// A text is compiled once against a resolver that says what each name stands
// for; evaluation then reads the current values through those bindings, so one
// compiled expression serves every record of a walk.

#include "platform/decimal.h"
#include "platform/fieldvalue.h"
#include "platform/recorddef.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrel::platform {

// What a name of an expression stands for; read at every evaluation.
class FilterBinding {
public:
    // A field of a record buffer: read straight from the buffer's bytes, so
    // that evaluation allocates nothing. The buffer must outlive the binding.
    static FilterBinding field(const FieldDef& field, const unsigned char* record);
    // A variable of the caller (a range value, a report's claim number). The
    // variable must outlive the binding.
    static FilterBinding variable(const FieldValue* value);
    // A fixed value (the literals of an expression).
    static FilterBinding constant(FieldValue value);
    // Anything else; called at every evaluation.
    static FilterBinding computed(std::function<FieldValue()> read);

    // The current value.
    FieldValue read() const;

private:
    friend class FilterExpression;
    struct FieldRef {
        FieldDef def;
        const unsigned char* record;
    };
    struct Constant {
        FieldValue value;
        Decimal number;  // the leading number of a text, computed once
    };
    std::variant<FieldRef, const FieldValue*, Constant, std::function<FieldValue()>> source_;
};

// Maps a name, given in upper case, to its binding; nullopt when unknown.
using FilterResolver = std::function<std::optional<FilterBinding>(std::string_view upperName)>;

// A table of names for a resolver: the fields of record buffers by their
// labels and any other variables by name, all matched without letter case.
class FilterNames {
public:
    // Every field of the file, by its label ("PAT:NOWBALAN"), read from `record`.
    void bindFile(const FileDef& file, const unsigned char* record);
    void bind(std::string_view name, FilterBinding binding);

    std::optional<FilterBinding> resolve(std::string_view name) const;
    // A resolver over this table; the table must outlive the compile call.
    FilterResolver resolver() const;

private:
    std::map<std::string, FilterBinding, std::less<>> names_;
};

// Why a text did not compile. `message` is complete and names the position
// (1-based, in bytes of the text), e.g. `unknown name "INV:PATX" at position 1`.
struct FilterError {
    std::string message;
    int position = 0;
};

// A top-level condition `name = value` that every passing record meets (it is
// joined by AND to the rest, possibly through parentheses). A view can use it
// to walk only the key range where `name` equals the value, and stop at its
// end. `value` reads the other side: a name (then `valueName` is its upper-case
// name) or a literal (`valueName` empty). For `A = B` with two names both
// directions are listed; the caller judges which side belongs to its record,
// and that narrowing a key range is sound only when field and value are of the
// same kind (a text equal to a number matches many spellings: "4", "04").
struct FilterEquality {
    std::string name;
    std::string valueName;
    FilterBinding value;
};

// The condition of an expression in SQL over one record file's columns,
// with its parameters in order (numbers in units, texts as UTF-8).
struct SqlCondition {
    std::string text;
    std::vector<std::variant<std::int64_t, std::string>> parameters;
};

// Columns of the record file a condition is written for: the quoted column
// of a field (packed decimals hold units of their places, texts are stored
// without trailing blanks).
using SqlColumn = std::function<std::string(const FieldDef& field)>;

// Name of the SQL function comparing a text's leading number with a number
// given as (units, places): -1, 0 or 1, exactly as the expressions compare
// them. Registered on every connection the driver opens.
constexpr const char* LeadingNumberCompare = "kestrel_compare_number";

class FilterExpression {
public:
    // An expression that passes every record.
    FilterExpression() = default;

    // Compiles `text`. Blank text compiles to an expression that passes every
    // record. On a malformed text or an unknown name: nullopt, the reason in
    // *error. Never throws for any text.
    static std::optional<FilterExpression> compile(std::string_view text, const FilterResolver& resolve,
                                                   FilterError* error = nullptr);

    // True when the current values meet the condition. Reads through the
    // bindings; allocates only for computed bindings that return text.
    bool evaluate() const;

    bool passesAll() const { return root_ < 0; }

    // The same condition for a driver that selects records before reading
    // them: fields of `record` (the buffer of `file`) become columns; every
    // other name (variables, fields of other buffers, literals) is read now
    // and becomes a parameter, so the condition holds for one walk. Nullopt
    // when a part has no exact SQL form (texts ordered, computed values):
    // the caller then evaluates record by record.
    std::optional<SqlCondition> sql(const FileDef& file, const unsigned char* record, const SqlColumn& column) const;
    const std::string& text() const { return text_; }
    const std::vector<FilterEquality>& equalityConjuncts() const { return equalities_; }

private:
    enum class Op : std::uint8_t { Or, And, Not, Truth, Eq, Ne, Lt, Le, Gt, Ge };
    struct Node {
        Op op;
        // Or, And: first index into children_ and count. Not: the child node.
        // Comparisons and Truth: operand indices.
        int a = -1;
        int b = -1;
    };
    friend class FilterParser;

    bool eval(int node) const;
    bool sqlOf(int node, const FileDef& file, const unsigned char* record, const SqlColumn& column,
               SqlCondition& out) const;
    bool compare(Op op, const FilterBinding& left, const FilterBinding& right) const;

    std::string text_;
    std::vector<Node> nodes_;
    std::vector<int> children_;
    std::vector<FilterBinding> operands_;
    std::vector<FilterEquality> equalities_;
    int root_ = -1;
};

} // namespace kestrel::platform
