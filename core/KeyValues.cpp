#include "core/KeyValues.h"
#include "platform/AsciiCase.h"

#include <cstddef>

namespace vantor {
namespace {

enum class TokenKind { Text, Open, Close, End, Error };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 1;
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : s_(text) {}

    // The next token; conditions in brackets are skipped.
    Token next() {
        for (;;) {
            Token t = raw();
            if (t.kind != TokenKind::Text || !isCondition_) return t;
        }
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

    void skipSpaceAndComments() {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (isSpace(c)) {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else {
                return;
            }
        }
    }

    Token raw() {
        isCondition_ = false;
        skipSpaceAndComments();
        Token t;
        t.line = line_;
        if (pos_ >= s_.size()) return t;
        const char c = s_[pos_];
        if (c == '{' || c == '}') {
            ++pos_;
            t.kind = c == '{' ? TokenKind::Open : TokenKind::Close;
            return t;
        }
        t.kind = TokenKind::Text;
        if (c == '"') return quoted(t);
        if (c == '[') {
            const std::size_t close = s_.find(']', pos_);
            const std::size_t eol = s_.find('\n', pos_);
            if (close == std::string_view::npos || (eol != std::string_view::npos && eol < close)) {
                t.kind = TokenKind::Error;
                t.text = "a condition in brackets is not closed";
                return t;
            }
            pos_ = close + 1;
            isCondition_ = true;
            return t;
        }
        while (pos_ < s_.size() && !isSpace(s_[pos_]) && s_[pos_] != '{' && s_[pos_] != '}' && s_[pos_] != '"')
            t.text += s_[pos_++];
        return t;
    }

    Token quoted(Token& t) {
        ++pos_;  // the opening quote
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') return t;
            if (c == '\n') ++line_;
            if (c == '\\' && pos_ < s_.size()) {
                const char e = s_[pos_];
                if (e == 'n' || e == 't' || e == '\\' || e == '"') {
                    t.text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    ++pos_;
                    continue;
                }
            }
            t.text += c;
        }
        t.kind = TokenKind::Error;
        t.text = "a quoted text is not closed";
        return t;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool isCondition_ = false;
};

KeyValuesResult failure(int line, const std::string& what) {
    KeyValuesResult r;
    r.error = "line " + std::to_string(line) + ": " + what;
    return r;
}

}  // namespace

bool keyEquals(std::string_view a, std::string_view b) { return equalsIgnoringAsciiCase(a, b); }

const KeyValue* KeyValue::find(std::string_view name) const {
    for (const auto& child : children)
        if (keyEquals(child.key, name)) return &child;
    return nullptr;
}

KeyValuesResult parseKeyValues(std::string_view text) {
    KeyValuesResult result;
    Tokenizer tokens(text);
    // The entry lists of the open sections, the top level first. Only the last
    // list is appended to, so the pointers to the enclosing lists stay valid.
    std::vector<std::vector<KeyValue>*> open{&result.entries};
    std::vector<int> openedAt{0};
    for (;;) {
        Token key = tokens.next();
        switch (key.kind) {
            case TokenKind::Error: return failure(key.line, key.text);
            case TokenKind::End:
                if (open.size() > 1) return failure(openedAt.back(), "the section opened here is not closed");
                result.ok = true;
                return result;
            case TokenKind::Close:
                if (open.size() == 1) return failure(key.line, "a '}' without its '{'");
                open.pop_back();
                openedAt.pop_back();
                continue;
            case TokenKind::Open: return failure(key.line, "a '{' without a key");
            case TokenKind::Text: break;
        }
        Token value = tokens.next();
        switch (value.kind) {
            case TokenKind::Error: return failure(value.line, value.text);
            case TokenKind::End:
            case TokenKind::Close: return failure(key.line, "the key \"" + key.text + "\" has no value");
            case TokenKind::Text:
                open.back()->push_back(KeyValue{std::move(key.text), std::move(value.text), false, {}});
                break;
            case TokenKind::Open: {
                if (static_cast<int>(open.size()) > kMaxKeyValuesDepth)
                    return failure(value.line, "sections nest deeper than " + std::to_string(kMaxKeyValuesDepth));
                open.back()->push_back(KeyValue{std::move(key.text), {}, true, {}});
                open.push_back(&open.back()->back().children);
                openedAt.push_back(value.line);
                break;
            }
        }
    }
}

}  // namespace vantor
