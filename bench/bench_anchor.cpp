// The anchor of bench_outputs: the flat file of an EGM written by a plain
// reader on SQLite's C API, no Qt, with the bytes Tarvex writes for the
// benchmark's data (ASCII text, ISO dates, whole and simple fractional
// numbers). What the engine costs, against which the program is measured.
//   bench_anchor DATABASE EGMNO DDMMYYYY OUT
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string out;
FILE* file = nullptr;

void flushIfFull()
{
    if (out.size() >= 64 * 1024) {
        std::fwrite(out.data(), 1, out.size(), file);
        out.clear();
    }
}

void number(sqlite3_stmt* s, int i)
{
    char buffer[40];
    int n = 0;
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER:
        n = std::snprintf(buffer, sizeof buffer, "%lld", sqlite3_column_int64(s, i));
        break;
    default: {
        const double v = sqlite3_column_double(s, i);
        if (v == 0)
            n = std::snprintf(buffer, sizeof buffer, "0");
        else if (std::floor(v) == v && std::fabs(v) < 1e15)
            n = std::snprintf(buffer, sizeof buffer, "%lld", (long long)v);
        else
            n = std::snprintf(buffer, sizeof buffer, "%.15G", v);
    }
    }
    out.append(buffer, size_t(n));
}

void text(sqlite3_stmt* s, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    if (p)
        out.append(p, size_t(sqlite3_column_bytes(s, i)));
}

/// yyyy-mm-dd as ddmmyyyy.
void date(sqlite3_stmt* s, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    out.append(p + 8, 2).append(p + 5, 2).append(p, 4);
}

bool zero(size_t from)
{
    return std::strtod(out.c_str() + from, nullptr) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_anchor DATABASE EGMNO DDMMYYYY OUT\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return 1;
    const double egmno = std::atof(argv[2]);
    const std::string day = argv[3];
    file = std::fopen(argv[4], "wb");
    if (!file)
        return 1;
    const char* bills = "select egmno,sbno,sbdt,sbport,destport,gateport,naturecargo,volume,"
                        "unitvol,pkgs from egmcargo where egmno=? order by rowid";
    const char* boxes =
        "select egmcargo.egmno,egmcargo.sbno,egmcargo.sbdt,egmcontain.containno,"
        "egmcontain.constatus from egmcontain,egmcargo where egmcontain.ref=egmcargo.id and "
        "egmcargo.egmno=? order by egmcargo.rowid,egmcontain.rowid";
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, bills, -1, &s, nullptr);
    sqlite3_bind_double(s, 1, egmno);
    out = "<manifest>\n<egm_master>F\n";
    while (sqlite3_step(s) == SQLITE_ROW) {
        number(s, 0);
        out.append("\x1d").append(day).append("\x1d");
        number(s, 1);
        out.append("\x1d");
        date(s, 2);
        out.append("\x1d");
        for (int i = 3; i <= 6; ++i) {
            text(s, i);
            out.append("\x1d");
        }
        const size_t volume = out.size();
        number(s, 7);
        if (zero(volume)) {
            out.resize(volume);
            out.append("\x1d\x1d");
        } else {
            out.append("\x1d");
            text(s, 8);
            out.append("\x1d");
        }
        const size_t pkgs = out.size();
        number(s, 9);
        if (zero(pkgs))
            out.resize(pkgs);
        out.append("\x1d\n");
        flushIfFull();
    }
    sqlite3_finalize(s);
    out.append("<egmcont>F\n");
    sqlite3_prepare_v2(db, boxes, -1, &s, nullptr);
    sqlite3_bind_double(s, 1, egmno);
    while (sqlite3_step(s) == SQLITE_ROW) {
        number(s, 0);
        out.append("\x1d").append(day).append("\x1d");
        number(s, 1);
        out.append("\x1d");
        date(s, 2);
        out.append("\x1d");
        text(s, 3);
        out.append("\x1d");
        text(s, 4);
        out.append("\x1d\n");
        flushIfFull();
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    out.append("<END-egmcont>\n<END-egm_master>\n<END-manifest>\n");
    std::fwrite(out.data(), 1, out.size(), file);
    std::fclose(file);
    sqlite3_close(db);
    return 0;
}
