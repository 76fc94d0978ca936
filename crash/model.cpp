#include "crash/model.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace crash {

namespace {

const char* const games[] = {"Test", "O'Brien", "Star*", "Été"};

std::string repeatTo(const std::string& piece, std::size_t length)
{
    std::string s;
    while (s.size() < length)
        s += piece;
    s.resize(length);
    return s;
}

bool subset(const std::multiset<ProvValues>& small, const std::multiset<ProvValues>& big)
{
    return std::includes(big.begin(), big.end(), small.begin(), small.end());
}

template <class Map>
bool subsetKeys(const Map& small, const Map& big)
{
    for (const auto& [k, v] : small) {
        auto it = big.find(k);
        if (it == big.end() || !(it->second == v))
            return false;
    }
    return true;
}

std::multiset<ProvValues> provsOf(const std::multiset<ProvValues>& all, const Key& key, bool of)
{
    std::multiset<ProvValues> out;
    for (const auto& p : all)
        if ((p.game == key.first && p.character == key.second) == of)
            out.insert(p);
    return out;
}

// The state a killed EmptyTransferTables may leave: some transfer provinces
// gone, and transfer characters only once every province is.
bool emptyingOf(const Side& before, const Side& actual)
{
    if (!subset(actual.provs, before.provs) || !subsetKeys(actual.chars, before.chars))
        return false;
    return actual.chars.size() == before.chars.size() || actual.provs.empty();
}

Side withCharacter(const State& s, const Side& base, const Key& key, bool provinces)
{
    Side out = base;
    out.chars[key] = s.campaign.chars.at(key);
    if (provinces)
        for (const auto& p : provsOf(s.campaign.provs, key, true))
            out.provs.insert(p);
    return out;
}

}  // namespace

Key keyOf(int id)
{
    return {games[id % 4], (id % 5 == 0 ? "D'Arc " : "Char ") + std::to_string(id)};
}

int idOf(const Key& key)
{
    const std::size_t blank = key.second.rfind(' ');
    if (blank == std::string::npos)
        return -1;
    char* end = nullptr;
    const long id = std::strtol(key.second.c_str() + blank + 1, &end, 10);
    return *end || id < 0 || keyOf(static_cast<int>(id)) != key ? -1 : static_cast<int>(id);
}

CharValues charValues(int id, int version)
{
    CharValues v;
    v.gold = (id * 37 + version * 101) % 30000 - 1000;
    // Some notes outgrow the 240 characters a memo keeps in its row.
    v.vassals = repeatTo("Vassal of " + std::to_string(id) + " v" + std::to_string(version) + "; ",
                         static_cast<std::size_t>(1 + (id * 13 + version * 7) % 600));
    v.warrior = (id + version) % 2 == 0;
    return v;
}

ProvValues provValues(int id, int number)
{
    const Key key = keyOf(id);
    ProvValues p;
    p.game = key.first;
    p.character = key.second;
    p.province = "Province " + std::to_string(id) + "-" + std::to_string(number);
    p.level = (id + number) % 10;
    p.armies = repeatTo("Army " + std::to_string(number) + ", ", static_cast<std::size_t>(1 + number * 53 % 400));
    return p;
}

std::string Op::text() const
{
    return std::string(1, static_cast<char>(kind)) + " " + std::to_string(id) + " " + std::to_string(arg);
}

bool Op::parse(const std::string& text, Op& op)
{
    std::istringstream in(text);
    char k = 0;
    if (!(in >> k >> op.id >> op.arg))
        return false;
    if (std::string("CPEDOXIZBS").find(k) == std::string::npos)
        return false;
    op.kind = static_cast<Kind>(k);
    return true;
}

bool mustFail(const State& s, const Op& op)
{
    const Key key = keyOf(op.id);
    switch (op.kind) {
    case Kind::PostCharacter: return s.campaign.chars.count(key) > 0;
    case Kind::ExportAppend: return s.transfer.chars.count(key) > 0;
    case Kind::Delete: {
        // A delete after an export is a move: refused when what is stored
        // is no longer what the transfer tables hold.
        const auto sent = s.transfer.chars.find(key);
        const auto stored = s.campaign.chars.find(key);
        return sent != s.transfer.chars.end() && stored != s.campaign.chars.end() &&
               (sent->second != stored->second ||
                provsOf(s.campaign.provs, key, true) != provsOf(s.transfer.provs, key, true));
    }
    case Kind::Import:
        for (const auto& [k, v] : s.transfer.chars)
            if (s.campaign.chars.count(k))
                return true;
        return false;
    default: return false;
    }
}

State apply(const State& s, const Op& op)
{
    State out = s;
    const Key key = keyOf(op.id);
    switch (op.kind) {
    case Kind::PostCharacter: out.campaign.chars[key] = charValues(op.id, 0); break;
    case Kind::PostProvince: out.campaign.provs.insert(provValues(op.id, op.arg)); break;
    case Kind::Edit: out.campaign.chars[key] = charValues(op.id, op.arg); break;
    case Kind::Delete:
        out.campaign.chars.erase(key);
        out.campaign.provs = provsOf(s.campaign.provs, key, false);
        break;
    case Kind::ExportOverwrite: out.transfer = withCharacter(s, Side{}, key, true); break;
    case Kind::ExportAppend: out.transfer = withCharacter(s, s.transfer, key, true); break;
    case Kind::Import:
        for (const auto& [k, v] : s.transfer.chars)
            out.campaign.chars[k] = v;
        out.campaign.provs.insert(s.transfer.provs.begin(), s.transfer.provs.end());
        out.transfer = Side{};
        break;
    case Kind::Empty: out.transfer = Side{}; break;
    case Kind::Backup:
    case Kind::Sheet: break;  // files of their own
    }
    return out;
}

bool storageFault(const std::string& message)
{
    for (const char* sign : {"disk is full", "database is locked", "disk I/O error", "No space left on device"})
        if (message.find(sign) != std::string::npos)
            return true;
    return false;
}

std::set<std::string> withBackup(const std::set<std::string>& before, const std::string& made)
{
    std::set<std::string> out = before;
    out.insert(made);
    // The copy just made stays even when its name sorts first.
    while (out.size() > 7) {
        auto oldest = out.begin();
        if (*oldest == made)
            ++oldest;
        out.erase(oldest);
    }
    return out;
}

bool backupsAllowedInFlight(const std::set<std::string>& before, const std::string& made,
                            const std::set<std::string>& actual)
{
    std::set<std::string> added = before;
    added.insert(made);
    return actual == before || actual == added || actual == withBackup(before, made);
}

bool withStaleCopies(const std::set<std::string>& wanted, const std::set<std::string>& actual)
{
    if (!std::includes(actual.begin(), actual.end(), wanted.begin(), wanted.end()))
        return false;
    for (const std::string& name : actual)
        if (!wanted.count(name) && !wanted.empty() && name > *wanted.begin())
            return false;
    return true;
}

bool partialDelete(const State& before, const Op& op, const State& actual)
{
    if (op.kind != Kind::Delete || actual.transfer != before.transfer || actual.campaign.chars != before.campaign.chars)
        return false;
    const Key key = keyOf(op.id);
    if (provsOf(actual.campaign.provs, key, false) != provsOf(before.campaign.provs, key, false))
        return false;
    const auto left = provsOf(actual.campaign.provs, key, true);
    const auto had = provsOf(before.campaign.provs, key, true);
    return subset(left, had) && left.size() < had.size();
}

bool allowedInFlight(const State& before, const Op& op, const State& actual, bool wholeCommands)
{
    if (actual == before)
        return true;
    if (mustFail(before, op))
        return false;
    const State after = apply(before, op);
    if (actual == after)
        return true;
    if (wholeCommands)
        return false;
    const Key key = keyOf(op.id);
    switch (op.kind) {
    case Kind::Delete: return partialDelete(before, op, actual);
    case Kind::Empty: return actual.campaign == before.campaign && emptyingOf(before.transfer, actual.transfer);
    case Kind::ExportAppend:
        // The character copied, its provinces not yet.
        return actual.campaign == before.campaign && actual.transfer == withCharacter(before, before.transfer, key, false);
    case Kind::ExportOverwrite:
        return actual.campaign == before.campaign &&
               (emptyingOf(before.transfer, actual.transfer) ||
                actual.transfer == withCharacter(before, Side{}, key, false));
    default: return false;  // posts, edits and imports are all or nothing
    }
}

std::string describeDifference(const State& expected, const State& actual)
{
    std::ostringstream out;
    auto side = [&out](const char* name, const Side& e, const Side& a) {
        for (const auto& [k, v] : e.chars) {
            auto it = a.chars.find(k);
            if (it == a.chars.end())
                out << "  " << name << ": character " << k.first << "/" << k.second << " missing\n";
            else if (!(it->second == v))
                out << "  " << name << ": character " << k.first << "/" << k.second << " has other values\n";
        }
        for (const auto& [k, v] : a.chars)
            if (!e.chars.count(k))
                out << "  " << name << ": character " << k.first << "/" << k.second << " not expected\n";
        std::map<ProvValues, int> count;
        for (const auto& p : e.provs)
            ++count[p];
        for (const auto& p : a.provs)
            --count[p];
        for (const auto& [p, n] : count)
            if (n)
                out << "  " << name << ": province " << p.province << " of " << p.game << "/" << p.character << " "
                    << (n > 0 ? "missing" : "too often") << " (" << (n > 0 ? n : -n) << ")\n";
    };
    side("campaign", expected.campaign, actual.campaign);
    side("transfer", expected.transfer, actual.transfer);
    return out.str();
}

}  // namespace crash
