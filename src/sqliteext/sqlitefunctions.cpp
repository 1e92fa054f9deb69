// The SQL functions of the extension that every SQLite connection of the program loads:
// ru_key, ru_key_low, ru_key_high and ru_like over the name keys of russiantext, and
// price_text_may_match, the quick test before a price's text is matched, and price_prefix, the
// number a typed price starts with.
#include "numbertext.h"
#include "russiantext.h"

#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

namespace {

using namespace russiantext;

std::u32string Arg(sqlite3_value* v) {
    const unsigned char* text = sqlite3_value_text(v);
    return FromUtf8(text, text ? sqlite3_value_bytes(v) : 0);
}

void ResultText(sqlite3_context* ctx, const std::u32string& text) {
    const std::string utf8 = ToUtf8(text);
    sqlite3_result_text(ctx, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// ru_key(name): the name's sort key.
void SqlKey(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    ResultText(ctx, Key(Arg(argv[0])));
}

// ru_key_low(pattern) and ru_key_high(pattern): the range of keys a pattern's names lie in,
// low included, high excluded. With no literal start, high is an empty blob, which SQLite
// places above every text.
void SqlKeyLow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    ResultText(ctx, PrefixKey(Arg(argv[0])));
}

void SqlKeyHigh(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::u32string above;
    if (KeyAbove(PrefixKey(Arg(argv[0])), above))
        ResultText(ctx, above);
    else
        sqlite3_result_zeroblob(ctx, 0);
}

// ru_like(pattern, text): the case-blind match; NULL text matches nothing.
void SqlLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const unsigned char* p = sqlite3_value_text(argv[0]);
    // Nothing typed: every name, without reading it.
    if (sqlite3_value_bytes(argv[0]) == 1 && p[0] == '%')
        return sqlite3_result_int(ctx, 1);
    sqlite3_result_int(ctx, Like(Arg(argv[0]), Arg(argv[1])) ? 1 : 0);
}

// price_text_may_match(pattern, price): 0 only when the price's text cannot match.
void SqlPriceMayMatch(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int type = sqlite3_value_type(argv[1]);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
        return sqlite3_result_int(ctx, 1);
    const unsigned char* pattern = sqlite3_value_text(argv[0]);
    const int bytes = sqlite3_value_bytes(argv[0]);
    sqlite3_result_int(ctx,
                       NumberTextMayMatch(pattern, bytes, sqlite3_value_double(argv[1])) ? 1 : 0);
}

// price_prefix(pattern): the number a "123%" pattern starts with, NULL for any other.
void SqlPricePrefix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double prefix = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL ||
        !PricePrefix(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]), &prefix))
        return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, prefix);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
sqlite3_extension_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    (void)error;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Function {
        const char* name;
        int args;
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Function functions[] = {{"ru_key", 1, SqlKey},
                                  {"ru_key_low", 1, SqlKeyLow},
                                  {"ru_key_high", 1, SqlKeyHigh},
                                  {"ru_like", 2, SqlLike},
                                  {"price_text_may_match", 2, SqlPriceMayMatch},
                                  {"price_prefix", 1, SqlPricePrefix}};
    for (const Function& f : functions) {
        const int rc =
            sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.call, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}
