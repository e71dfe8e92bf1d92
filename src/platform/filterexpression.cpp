#include "platform/filterexpression.h"

#include "platform/cp1252.h"
#include "platform/fields.h"

#include <compare>

namespace kestrel::platform {

namespace {

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return u;
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == ':'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Nesting beyond this is refused rather than risking the stack on a
// pathological text; real expressions nest two or three deep.
constexpr int kMaxDepth = 100;

} // namespace

// ---------------------------------------------------------------- bindings

FilterBinding FilterBinding::field(const FieldDef& field, const unsigned char* record)
{
    FilterBinding b;
    b.source_ = FieldRef{field, record};
    return b;
}

FilterBinding FilterBinding::variable(const FieldValue* value)
{
    FilterBinding b;
    b.source_ = value;
    return b;
}

FilterBinding FilterBinding::constant(FieldValue value)
{
    FilterBinding b;
    Decimal number;
    if (const auto* s = std::get_if<std::string>(&value)) number = Decimal::leadingNumber(*s);
    else number = std::get<Decimal>(value);
    b.source_ = Constant{std::move(value), number};
    return b;
}

FilterBinding FilterBinding::computed(std::function<FieldValue()> read)
{
    FilterBinding b;
    b.source_ = std::move(read);
    return b;
}

FieldValue FilterBinding::read() const
{
    switch (source_.index()) {
    case 0: {
        const auto& f = std::get<FieldRef>(source_);
        return readField(f.def, f.record);
    }
    case 1: return *std::get<const FieldValue*>(source_);
    case 2: return std::get<Constant>(source_).value;
    default: return std::get<std::function<FieldValue()>>(source_)();
    }
}

// ---------------------------------------------------------------- names

void FilterNames::bindFile(const FileDef& file, const unsigned char* record)
{
    for (const auto& f : file.fields) bind(f.label, FilterBinding::field(f, record));
}

void FilterNames::bind(std::string_view name, FilterBinding binding)
{
    names_.insert_or_assign(upper(name), std::move(binding));
}

std::optional<FilterBinding> FilterNames::resolve(std::string_view name) const
{
    auto it = names_.find(upper(name));
    if (it == names_.end()) return std::nullopt;
    return it->second;
}

FilterResolver FilterNames::resolver() const
{
    return [this](std::string_view name) { return resolve(name); };
}

// ---------------------------------------------------------------- parsing

namespace {

enum class Tok { End, LParen, RParen, And, Or, Not, Cmp, Name, Number, Text, Bad };

struct Token {
    Tok kind = Tok::End;
    int pos = 0;           // 0-based start in the text
    std::string_view raw;  // as written
    std::string value;     // text literal (Windows-1252) or the error for Bad
    Decimal number;
    int cmp = 0;           // index into the comparison operators for Cmp
};

std::string quote(std::string_view s) { return '"' + std::string(s) + '"'; }

} // namespace

class FilterParser {
public:
    FilterParser(std::string_view text, const FilterResolver& resolve, FilterExpression& out)
        : text_(text), resolve_(resolve), out_(out)
    {
    }

    bool run(FilterError* error)
    {
        advance();
        int root = -1;
        if (tok_.kind != Tok::End) {
            root = expr(0);
            if (root >= 0 && tok_.kind != Tok::End) {
                if (tok_.kind == Tok::RParen) fail("unmatched \")\"", tok_.pos);
                else if (tok_.kind == Tok::Bad) fail(tok_.value, tok_.pos);
                else fail("expected AND, OR or the end, found " + describe(tok_), tok_.pos);
                root = -1;
            }
        }
        if (failed_) {
            if (error) *error = error_;
            return false;
        }
        out_.root_ = root;
        if (root >= 0) collectEqualities(root);
        return true;
    }

private:
    using Op = FilterExpression::Op;

    // ---- tokens

    void advance()
    {
        std::size_t i = at_;
        while (i < text_.size() && isBlank(text_[i])) ++i;
        tok_ = Token{};
        tok_.pos = int(i);
        if (i >= text_.size()) {
            at_ = i;
            tok_.kind = Tok::End;
            return;
        }
        const char c = text_[i];
        std::size_t j = i + 1;
        if (c == '(' || c == ')') {
            tok_.kind = c == '(' ? Tok::LParen : Tok::RParen;
        } else if (c == '=' || c == '<' || c == '>') {
            tok_.kind = Tok::Cmp;
            if (c == '=') {
                tok_.cmp = int(Op::Eq);
            } else if (c == '<') {
                // "<>" and "< >" (blanks between) are both "not equal".
                std::size_t k = j;
                while (k < text_.size() && isBlank(text_[k])) ++k;
                if (k < text_.size() && text_[k] == '>') {
                    tok_.cmp = int(Op::Ne);
                    j = k + 1;
                } else if (j < text_.size() && text_[j] == '=') {
                    tok_.cmp = int(Op::Le);
                    ++j;
                } else {
                    tok_.cmp = int(Op::Lt);
                }
            } else if (j < text_.size() && text_[j] == '=') {
                tok_.cmp = int(Op::Ge);
                ++j;
            } else {
                tok_.cmp = int(Op::Gt);
            }
        } else if (isDigit(c) || c == '.' || c == '+' || c == '-') {
            j = number(i);
        } else if (c == '\'') {
            j = textLiteral(i);
        } else if (isNameStart(c)) {
            while (j < text_.size() && isNameChar(text_[j])) ++j;
            std::string u = upper(text_.substr(i, j - i));
            tok_.kind = u == "AND" ? Tok::And : u == "OR" ? Tok::Or : u == "NOT" ? Tok::Not : Tok::Name;
            tok_.value = std::move(u);
        } else {
            // Show a whole UTF-8 character, not its first byte.
            if (static_cast<unsigned char>(c) >= 0xC0)
                while (j < text_.size() && (static_cast<unsigned char>(text_[j]) & 0xC0) == 0x80) ++j;
            tok_.kind = Tok::Bad;
            tok_.value = "unexpected character " + quote(text_.substr(i, j - i));
        }
        tok_.raw = text_.substr(i, j - i);
        at_ = j;
    }

    std::size_t number(std::size_t i)
    {
        std::size_t j = i;
        if (text_[j] == '+' || text_[j] == '-') ++j;
        bool digits = false, point = false;
        while (j < text_.size() && (isDigit(text_[j]) || (text_[j] == '.' && !point))) {
            if (text_[j] == '.') point = true;
            else digits = true;
            ++j;
        }
        // A number runs into letters, digits or a second point: "1.2.3", "12AB".
        std::size_t end = j;
        while (end < text_.size() && (isNameChar(text_[end]) || text_[end] == '.')) ++end;
        std::string_view raw = text_.substr(i, end - i);
        tok_.kind = Tok::Bad;
        if (!digits || end != j) {
            tok_.value = "bad number " + quote(raw);
            return end;
        }
        auto d = Decimal::parse(raw);
        if (!d) {
            tok_.value = "number too large " + quote(raw);
            return end;
        }
        tok_.kind = Tok::Number;
        tok_.number = *d;
        return end;
    }

    std::size_t textLiteral(std::size_t i)
    {
        std::string utf8;
        std::size_t j = i + 1;
        for (;;) {
            if (j >= text_.size()) {
                tok_.kind = Tok::Bad;
                tok_.value = "text without its closing quote";
                return j;
            }
            if (text_[j] == '\'') {
                if (j + 1 < text_.size() && text_[j + 1] == '\'') {
                    utf8 += '\'';
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            utf8 += text_[j++];
        }
        auto bytes = cp1252::fromUtf8(utf8);
        if (!bytes) {
            tok_.kind = Tok::Bad;
            tok_.value = "text with a character the record files cannot hold";
            return j;
        }
        tok_.kind = Tok::Text;
        tok_.value = std::move(*bytes);
        return j;
    }

    static std::string describe(const Token& t)
    {
        if (t.kind == Tok::End) return "the end";
        return quote(t.raw);
    }

    // ---- grammar

    void fail(std::string message, int pos)
    {
        if (failed_) return;
        failed_ = true;
        error_.position = pos + 1;
        error_.message = std::move(message) + " at position " + std::to_string(pos + 1);
    }

    int node(Op op, int a, int b = -1)
    {
        out_.nodes_.push_back({op, a, b});
        return int(out_.nodes_.size()) - 1;
    }

    int expr(int depth) { return chain(depth, Tok::Or, Op::Or); }
    int term(int depth) { return chain(depth, Tok::And, Op::And); }

    // Operands of one AND (or OR) chain become children of a single node, so
    // that a long chain costs no depth when evaluated.
    int chain(int depth, Tok joiner, Op op)
    {
        std::vector<int> items;
        for (;;) {
            int item = op == Op::Or ? term(depth) : factor(depth);
            if (item < 0) return -1;
            items.push_back(item);
            if (tok_.kind != joiner) break;
            advance();
        }
        if (items.size() == 1) return items.front();
        int first = int(out_.children_.size());
        out_.children_.insert(out_.children_.end(), items.begin(), items.end());
        return node(op, first, int(items.size()));
    }

    int factor(int depth)
    {
        if (depth > kMaxDepth) {
            fail("expression nested too deeply", tok_.pos);
            return -1;
        }
        if (tok_.kind == Tok::Not) {
            advance();
            int inner = factor(depth + 1);
            return inner < 0 ? -1 : node(Op::Not, inner);
        }
        if (tok_.kind == Tok::LParen) {
            int open = tok_.pos;
            advance();
            int inner = expr(depth + 1);
            if (inner < 0) return -1;
            if (tok_.kind != Tok::RParen) {
                if (tok_.kind == Tok::End) fail("missing \")\" for the \"(\"", open);
                else if (tok_.kind == Tok::Bad) fail(tok_.value, tok_.pos);
                else fail("expected \")\", AND or OR, found " + describe(tok_), tok_.pos);
                return -1;
            }
            advance();
            return inner;
        }
        int left = operand();
        if (left < 0) return -1;
        if (tok_.kind != Tok::Cmp) return node(Op::Truth, left);
        Op op = Op(tok_.cmp);
        advance();
        int right = operand();
        if (right < 0) return -1;
        return node(op, left, right);
    }

    int operand()
    {
        Token t = std::move(tok_);
        switch (t.kind) {
        case Tok::Name: {
            std::optional<FilterBinding> b = resolve_ ? resolve_(t.value) : std::nullopt;
            if (!b) {
                fail("unknown name " + quote(t.raw), t.pos);
                return -1;
            }
            advance();
            return addOperand(std::move(*b), std::move(t.value));
        }
        case Tok::Number:
            advance();
            return addOperand(FilterBinding::constant(t.number), {});
        case Tok::Text:
            advance();
            return addOperand(FilterBinding::constant(std::move(t.value)), {});
        case Tok::Bad:
            fail(std::move(t.value), t.pos);
            return -1;
        default:
            fail("expected a name, a number or a text, found " + describe(t), t.pos);
            return -1;
        }
    }

    int addOperand(FilterBinding b, std::string name)
    {
        out_.operands_.push_back(std::move(b));
        names_.push_back(std::move(name));
        return int(out_.operands_.size()) - 1;
    }

    // `name = value` conditions reached from the root through AND only.
    void collectEqualities(int n)
    {
        const auto& nd = out_.nodes_[std::size_t(n)];
        if (nd.op == Op::And) {
            for (int i = 0; i < nd.b; ++i) collectEqualities(out_.children_[std::size_t(nd.a + i)]);
            return;
        }
        if (nd.op != Op::Eq) return;
        const auto a = std::size_t(nd.a), b = std::size_t(nd.b);
        if (!names_[a].empty()) out_.equalities_.push_back({names_[a], names_[b], out_.operands_[b]});
        if (!names_[b].empty()) out_.equalities_.push_back({names_[b], names_[a], out_.operands_[a]});
    }

    std::string_view text_;
    const FilterResolver& resolve_;
    FilterExpression& out_;
    std::vector<std::string> names_;  // per operand: upper-case name, empty for literals
    std::size_t at_ = 0;
    Token tok_;
    bool failed_ = false;
    FilterError error_;
};

std::optional<FilterExpression> FilterExpression::compile(std::string_view text, const FilterResolver& resolve,
                                                          FilterError* error)
{
    try {
        FilterExpression e;
        e.text_ = std::string(text);
        FilterParser parser(text, resolve, e);
        if (!parser.run(error)) return std::nullopt;
        return e;
    } catch (const std::exception& ex) {
        // Out of memory, or a resolver that threw: still an error, not a crash.
        if (error) *error = {std::string("the expression could not be compiled: ") + ex.what(), 0};
        return std::nullopt;
    }
}

// ---------------------------------------------------------------- evaluation

namespace {

// One side of a comparison as read for this record: a number, or a text
// (trailing blanks dropped) with its leading number when already known.
struct Side {
    bool isNumber = false;
    bool numberKnown = false;
    Decimal number;
    std::string_view text;
    FieldValue held;  // keeps a computed value alive

    Decimal asNumber()
    {
        if (!numberKnown) {
            number = Decimal::leadingNumber(text);
            numberKnown = true;
        }
        return number;
    }
};

} // namespace

bool FilterExpression::evaluate() const { return root_ < 0 || eval(root_); }

bool FilterExpression::eval(int n) const
{
    const Node& nd = nodes_[std::size_t(n)];
    switch (nd.op) {
    case Op::Or:
        for (int i = 0; i < nd.b; ++i)
            if (eval(children_[std::size_t(nd.a + i)])) return true;
        return false;
    case Op::And:
        for (int i = 0; i < nd.b; ++i)
            if (!eval(children_[std::size_t(nd.a + i)])) return false;
        return true;
    case Op::Not: return !eval(nd.a);
    default: {
        const FilterBinding& left = operands_[std::size_t(nd.a)];
        return compare(nd.op, left, nd.op == Op::Truth ? left : operands_[std::size_t(nd.b)]);
    }
    }
}

bool FilterExpression::compare(Op op, const FilterBinding& left, const FilterBinding& right) const
{
    auto read = [](const FilterBinding& b, Side& s) {
        auto fromValue = [&s](const FieldValue& v) {
            if (const auto* d = std::get_if<Decimal>(&v)) {
                s.isNumber = true;
                s.number = *d;
            } else {
                s.text = trimRight(std::get<std::string>(v));
            }
        };
        switch (b.source_.index()) {
        case 0: {
            const auto& f = std::get<FilterBinding::FieldRef>(b.source_);
            const unsigned char* p = f.record + f.def.offset;
            if (f.def.kind == FieldKind::Packed) {
                s.isNumber = true;
                s.number = packed::decode(p, f.def.size, f.def.places);
            } else {
                s.text = trimRight({reinterpret_cast<const char*>(p), std::size_t(f.def.size)});
            }
            break;
        }
        case 1: fromValue(*std::get<const FieldValue*>(b.source_)); break;
        case 2: {
            const auto& c = std::get<FilterBinding::Constant>(b.source_);
            fromValue(c.value);
            s.number = c.number;
            s.numberKnown = true;
            break;
        }
        default:
            s.held = std::get<std::function<FieldValue()>>(b.source_)();
            fromValue(s.held);
            break;
        }
    };

    Side l;
    read(left, l);
    if (op == Op::Truth) return l.isNumber ? !l.number.isZero() : !l.text.empty();
    Side r;
    read(right, r);

    std::strong_ordering order = std::strong_ordering::equal;
    if (!l.isNumber && !r.isNumber) {
        int c = l.text.compare(r.text);
        order = c < 0 ? std::strong_ordering::less : c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
    } else {
        order = (l.isNumber ? l.number : l.asNumber()) <=> (r.isNumber ? r.number : r.asNumber());
    }
    switch (op) {
    case Op::Eq: return order == 0;
    case Op::Ne: return order != 0;
    case Op::Lt: return order < 0;
    case Op::Le: return order <= 0;
    case Op::Gt: return order > 0;
    case Op::Ge: return order >= 0;
    default: return false;
    }
}

// ---------------------------------------------------------------- SQL form

namespace {

// One side of a comparison for the SQL form: a column of the walked file,
// or a value read now.
struct SqlSide {
    const FieldDef* column = nullptr;  // the file's own field, else a value
    bool isNumber = false;
    Decimal number;
    std::string text;  // Windows-1252, trailing blanks dropped
};

std::int64_t power10(int n)
{
    std::int64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

const char* sqlOperator(int op)
{
    // Eq, Ne, Lt, Le, Gt, Ge in the order of FilterExpression::Op from Eq.
    static const char* const ops[] = {" = ", " <> ", " < ", " <= ", " > ", " >= "};
    return ops[op];
}

} // namespace

std::optional<SqlCondition> FilterExpression::sql(const FileDef& file, const unsigned char* record,
                                                  const SqlColumn& column) const
{
    SqlCondition out;
    if (root_ < 0) {
        out.text = "1";
        return out;
    }
    try {
        if (!sqlOf(root_, file, record, column, out)) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;  // a value out of range: the records are read one by one
    }
    return out;
}

bool FilterExpression::sqlOf(int n, const FileDef& file, const unsigned char* record, const SqlColumn& column,
                             SqlCondition& out) const
{
    const Node& nd = nodes_[std::size_t(n)];
    if (nd.op == Op::Or || nd.op == Op::And) {
        out.text += '(';
        for (int i = 0; i < nd.b; ++i) {
            if (i) out.text += nd.op == Op::Or ? " OR " : " AND ";
            if (!sqlOf(children_[std::size_t(nd.a + i)], file, record, column, out)) return false;
        }
        out.text += ')';
        return true;
    }
    if (nd.op == Op::Not) {
        out.text += "NOT ";
        return sqlOf(nd.a, file, record, column, out);
    }

    // A side: the walked file's field as its column, anything else now.
    auto side = [&](const FilterBinding& b, SqlSide& s) {
        if (const auto* f = std::get_if<FilterBinding::FieldRef>(&b.source_); f && f->record == record) {
            for (const FieldDef& d : file.fields)
                if (d.offset == f->def.offset && d.size == f->def.size && d.kind == f->def.kind) s.column = &d;
            if (!s.column) return false;
            s.isNumber = s.column->kind == FieldKind::Packed;
            return true;
        }
        if (b.source_.index() == 3) return false;  // computed: may read the walked record
        const FieldValue v = b.read();
        if (const auto* d = std::get_if<Decimal>(&v)) {
            s.isNumber = true;
            s.number = *d;
        } else {
            s.text = std::string(trimRight(std::get<std::string>(v)));
        }
        return true;
    };
    auto param = [&out](std::variant<std::int64_t, std::string> v) {
        out.parameters.push_back(std::move(v));
        out.text += '?';
    };
    // Whether the constant comparison holds, as evaluate() decides it.
    auto holds = [&](std::strong_ordering o) {
        switch (nd.op) {
        case Op::Eq: return o == 0;
        case Op::Ne: return o != 0;
        case Op::Lt: return o < 0;
        case Op::Le: return o <= 0;
        case Op::Gt: return o > 0;
        case Op::Ge: return o >= 0;
        default: return false;
        }
    };

    SqlSide l;
    if (!side(operands_[std::size_t(nd.a)], l)) return false;
    if (nd.op == Op::Truth) {
        if (l.column) out.text += column(*l.column) + (l.isNumber ? " <> 0" : " <> ''");
        else out.text += (l.isNumber ? !l.number.isZero() : !l.text.empty()) ? "1" : "0";
        return true;
    }
    SqlSide r;
    if (!side(operands_[std::size_t(nd.b)], r)) return false;
    const char* op = sqlOperator(int(nd.op) - int(Op::Eq));

    // A text value met by a number is its leading number from here on.
    for (SqlSide* s : {&l, &r})
        if (!s->column && !s->isNumber && (l.isNumber || r.isNumber)) {
            s->isNumber = true;
            s->number = Decimal::leadingNumber(s->text);
        }
    if (!l.column && !r.column) {
        const auto o = l.isNumber ? l.number <=> r.number : l.text.compare(r.text) <=> 0;
        out.text += holds(o) ? "1" : "0";
        return true;
    }
    if (!l.isNumber && !r.isNumber) {
        // Texts: equality only (SQLite orders UTF-8, the records Windows-1252).
        if (nd.op != Op::Eq && nd.op != Op::Ne) return false;
        for (const SqlSide* s : {&l, &r}) {
            if (s != &l) out.text += op;
            if (s->column) out.text += column(*s->column);
            else param(cp1252::toUtf8(s->text));
        }
        return true;
    }
    const bool textColumn = (l.column && !l.isNumber) || (r.column && !r.isNumber);
    if (textColumn) {
        // The text's leading number against the other side, through the
        // registered function: sign(text - other); with the text on the
        // right the comparison turns round: other op text <=> 0 op (text - other).
        const bool textLeft = l.column && !l.isNumber;
        const SqlSide& text = textLeft ? l : r;
        const SqlSide& other = textLeft ? r : l;
        if (!textLeft) out.text += std::string("0") + op;
        out.text += std::string(LeadingNumberCompare) + "(" + column(*text.column) + ", ";
        if (other.column) {
            out.text += column(*other.column) + ", " + std::to_string(other.column->places) + ")";
        } else {
            param(other.number.units());
            out.text += ", " + std::to_string(other.number.places()) + ")";
        }
        if (textLeft) out.text += std::string(op) + "0";
        return true;
    }
    // Numbers: each side in units of the larger number of places.
    auto places = [](const SqlSide& s) { return s.column ? s.column->places : s.number.places(); };
    const int p = std::max(places(l), places(r));
    for (const SqlSide* s : {&l, &r}) {
        if (s != &l) out.text += op;
        if (s->column) {
            out.text += "(" + column(*s->column);
            if (p > s->column->places) out.text += " * " + std::to_string(power10(p - s->column->places));
            out.text += ")";
        } else {
            param(s->number.rescaled(p).units());
        }
    }
    return true;
}

} // namespace kestrel::platform
