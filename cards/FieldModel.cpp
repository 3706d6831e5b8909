#include "cards/FieldModel.h"

#include <algorithm>
#include <climits>
#include <sstream>
#include <utility>

#include "cards/CardCatalog.h"

namespace {
bool validKind(CardKind kind) {
    return kind.set >= 0 && kind.set < kCardSetCount && kind.index >= 0 && kind.index < CardCatalog::cardCount(kind.set);
}

bool contains(const std::vector<CardId>& group, CardId id) { return std::find(group.begin(), group.end(), id) != group.end(); }
} // namespace

FieldModel::FieldModel(float visibleHeight) : height(visibleHeight) {
    for (int set = 0; set < kCardSetCount; ++set)
        useCounts[static_cast<size_t>(set)].assign(static_cast<size_t>(CardCatalog::cardCount(set)), 0);
}

const FieldCard* FieldModel::card(CardId id) const {
    auto it = std::find_if(cardList.begin(), cardList.end(), [id](const FieldCard& c) { return c.id == id; });
    return it == cardList.end() ? nullptr : &*it;
}

FieldCard* FieldModel::find(CardId id) { return const_cast<FieldCard*>(std::as_const(*this).card(id)); }

CardId FieldModel::cardOnRow(int row) const {
    if (row < 0 || row >= kRowCount) return 0;
    return rows[static_cast<size_t>(row)];
}

int FieldModel::useCount(CardKind kind) const {
    if (!validKind(kind)) return 0;
    return useCounts[static_cast<size_t>(kind.set)][static_cast<size_t>(kind.index)];
}

std::vector<CardId> FieldModel::chainFrom(CardId id) const {
    std::vector<CardId> chain;
    const FieldCard* c = card(id);
    if (!c) return chain;
    if (c->row >= 0) {
        for (int r = c->row; r < kRowCount && cardOnRow(r); ++r) chain.push_back(cardOnRow(r));
        return chain;
    }
    for (; c && !contains(chain, c->id); c = card(c->down)) chain.push_back(c->id);
    return chain;
}

CardId FieldModel::place(CardKind kind, engine::Vec2 position, const std::string& numberText) {
    if (!validKind(kind)) return 0;
    FieldCard c;
    c.id = nextId++;
    c.kind = kind;
    c.numberText = numberText;
    c.position = position;
    c.zorder = INT_MAX;
    cardList.push_back(c);
    ++useCounts[static_cast<size_t>(kind.set)][static_cast<size_t>(kind.index)];
    return c.id;
}

bool FieldModel::remove(CardId id) {
    auto it = std::find_if(cardList.begin(), cardList.end(), [id](const FieldCard& c) { return c.id == id; });
    if (it == cardList.end()) return false;
    if (it->row >= 0) rows[static_cast<size_t>(it->row)] = 0;
    --useCounts[static_cast<size_t>(it->kind.set)][static_cast<size_t>(it->kind.index)];
    cardList.erase(it);
    relinkRows();
    return true;
}

bool FieldModel::attach(CardId id, int row) {
    if (!join(id, row)) return false;
    find(id)->position = field_geometry::cardCentreOnRow(row, height);
    return true;
}

bool FieldModel::join(CardId id, int row) {
    FieldCard* c = find(id);
    if (!c || row < 0 || row >= kRowCount) return false;
    const CardId holder = rows[static_cast<size_t>(row)];
    if (holder && holder != id) return false;
    if (c->row >= 0) rows[static_cast<size_t>(c->row)] = 0;
    c->row = row;
    rows[static_cast<size_t>(row)] = id;
    relinkRows();
    return true;
}

void FieldModel::detach(const std::vector<CardId>& group) {
    for (CardId id : group)
        if (FieldCard* c = find(id); c && c->row >= 0) {
            rows[static_cast<size_t>(c->row)] = 0;
            c->row = -1;
        }
    cutLinksOutside(group);
    relinkRows();
}

bool FieldModel::moveRows(int first, int last, int by) {
    const int onto = by < 0 ? first - 1 : last + 1;
    if ((by != 1 && by != -1) || first < 0 || last >= kRowCount || first > last || onto < 0 || onto >= kRowCount)
        return false;
    std::vector<std::pair<CardId, int>> moves;
    for (int r = first; r <= last; ++r)
        if (CardId id = rows[static_cast<size_t>(r)]) moves.emplace_back(id, r + by);
    if (CardId id = rows[static_cast<size_t>(onto)]) moves.emplace_back(id, by < 0 ? last : first);
    std::vector<CardId> group;
    for (const auto& move : moves) group.push_back(move.first);
    detach(group);
    for (const auto& [id, row] : moves) attach(id, row);
    return true;
}

void FieldModel::moveBy(const std::vector<CardId>& group, engine::Vec2 delta) {
    for (CardId id : group)
        if (FieldCard* c = find(id)) c->position += delta;
    cutLinksOutside(group);
    relinkRows();
}

void FieldModel::setPosition(CardId id, engine::Vec2 position) {
    if (FieldCard* c = find(id)) c->position = position;
}

void FieldModel::raise(const std::vector<CardId>& group) {
    const int top = static_cast<int>(cardList.size());
    for (auto g = group.rbegin(); g != group.rend(); ++g) {
        FieldCard* c = find(*g);
        if (!c) continue;
        for (FieldCard& other : cardList)
            if (other.id != c->id && other.zorder > c->zorder) --other.zorder;
        c->zorder = top;
    }
}

void FieldModel::setZOrder(CardId id, int zorder) {
    if (FieldCard* c = find(id)) c->zorder = zorder;
}

bool FieldModel::setNumber(CardId id, const std::string& text) {
    FieldCard* c = find(id);
    if (!c || c->numberText == text) return false;
    c->numberText = text;
    return true;
}

void FieldModel::shiftRow(int from, int to) {
    FieldCard* c = find(cardOnRow(from));
    if (!c) return;
    // Exactly on its new row, whatever its saved place lost to whole numbers.
    c->position = field_geometry::cardCentreOnRow(to, height);
    c->row = to;
    rows[static_cast<size_t>(from)] = 0;
    rows[static_cast<size_t>(to)] = c->id;
}

CardId FieldModel::insertRow(int row) {
    if (row < 0 || row >= kRowCount) return 0;
    const CardId pushedOff = cardOnRow(kRowCount - 1);
    if (pushedOff) remove(pushedOff);
    for (int r = kRowCount - 2; r >= row; --r) shiftRow(r, r + 1);
    relinkRows();
    return pushedOff;
}

CardId FieldModel::deleteRow(int row) {
    if (row < 0 || row >= kRowCount) return 0;
    const CardId removed = cardOnRow(row);
    if (removed) remove(removed);
    for (int r = row + 1; r < kRowCount; ++r) shiftRow(r, r - 1);
    relinkRows();
    return removed;
}

void FieldModel::cutLinksOutside(const std::vector<CardId>& group) {
    for (CardId id : group)
        if (FieldCard* c = find(id)) {
            if (c->up && !contains(group, c->up)) c->up = 0;
            if (c->down && !contains(group, c->down)) c->down = 0;
        }
}

void FieldModel::relinkRows() {
    // Cards on rows link along the rows; a loose card keeps only the links
    // to loose cards that link back, so links always come in pairs.
    for (FieldCard& c : cardList) {
        if (c.row >= 0) {
            c.up = cardOnRow(c.row - 1);
            c.down = cardOnRow(c.row + 1);
            continue;
        }
        const FieldCard* up = card(c.up);
        if (!up || up->row >= 0 || up->down != c.id) c.up = 0;
        const FieldCard* down = card(c.down);
        if (!down || down->row >= 0 || down->up != c.id) c.down = 0;
    }
}

void FieldModel::load(const FieldDocument& document) {
    *this = FieldModel(height);
    for (const CardRecord& record : document) {
        const engine::Vec2 at(static_cast<float>(record.x), static_cast<float>(record.y));
        const CardId id = place(CardKind{record.tab, record.index}, at, record.value);
        if (!id) continue;
        setZOrder(id, record.zorder);
        // Saved positions are whole numbers: a card joins only the row it sat
        // exactly on, and only when no earlier card holds it.
        const int row = field_geometry::rowAtLoad(at, height);
        if (row >= 0 && !cardOnRow(row)) join(id, row);
    }
}

FieldDocument FieldModel::document() const {
    FieldDocument doc;
    doc.reserve(cardList.size());
    for (const FieldCard& c : cardList)
        doc.push_back({c.kind.set, c.kind.index, truncateCoordinate(c.position.x), truncateCoordinate(c.position.y),
                       c.zorder, c.numberText});
    return doc;
}

FieldSnapshot FieldModel::snapshot(int dialect) const {
    FieldSnapshot snapshot;
    snapshot.dialect = dialect;
    for (size_t k = 0; k < cardList.size(); ++k) {
        const FieldCard& c = cardList[k];
        SnapshotCard s{c.kind, c.numberText, c.position, c.zorder, static_cast<int>(k)};
        if (c.row >= 0) snapshot.rows[static_cast<size_t>(c.row)] = s;
        else snapshot.loose.push_back(s);
    }
    return snapshot;
}

std::string FieldModel::check() const {
    std::ostringstream wrong;
    std::array<std::vector<int>, kCardSetCount> counted;
    for (int set = 0; set < kCardSetCount; ++set)
        counted[static_cast<size_t>(set)].assign(static_cast<size_t>(CardCatalog::cardCount(set)), 0);
    std::vector<CardId> seen;
    for (const FieldCard& c : cardList) {
        if (c.id <= 0 || c.id >= nextId || contains(seen, c.id)) wrong << "card " << c.id << " has a bad or second id; ";
        seen.push_back(c.id);
        if (!validKind(c.kind)) {
            wrong << "card " << c.id << " is not in the catalogue; ";
            continue;
        }
        ++counted[static_cast<size_t>(c.kind.set)][static_cast<size_t>(c.kind.index)];
        if (c.row >= kRowCount || (c.row >= 0 && cardOnRow(c.row) != c.id))
            wrong << "card " << c.id << " thinks it is on row " << c.row << "; ";
        for (auto [link, back] : {std::pair{c.up, &FieldCard::down}, std::pair{c.down, &FieldCard::up}}) {
            if (!link) continue;
            const FieldCard* other = card(link);
            if (!other || other->*back != c.id) wrong << "card " << c.id << " has a one-sided link to " << link << "; ";
            else if ((other->row >= 0) != (c.row >= 0)) wrong << "card " << c.id << " links across loose and placed; ";
        }
        if (c.row >= 0 && (c.up != cardOnRow(c.row - 1) || c.down != cardOnRow(c.row + 1)))
            wrong << "card " << c.id << " on row " << c.row << " is not linked to its row neighbours; ";
        if (c.row >= 0 && c.row < kRowCount && field_geometry::rowAtLoad(c.position, height) != c.row)
            wrong << "card " << c.id << " on row " << c.row << " lies off its row's place; ";
        if (c.row < 0) {
            std::vector<CardId> chain;
            for (const FieldCard* k = &c; k && !contains(chain, k->id); k = card(k->down)) chain.push_back(k->id);
            if (const FieldCard* last = card(chain.back()); last && last->down)
                wrong << "card " << c.id << " is in a loop of links; ";
        }
    }
    for (int r = 0; r < kRowCount; ++r) {
        const FieldCard* c = card(cardOnRow(r));
        if (cardOnRow(r) && (!c || c->row != r)) wrong << "row " << r << " holds a card that is not there; ";
    }
    if (counted != useCounts) wrong << "use counts differ from the cards on the field; ";
    return wrong.str();
}

bool FieldModel::sameLayout(const FieldModel& other) const {
    if (rows != other.rows || cardList.size() != other.cardList.size()) return false;
    for (size_t k = 0; k < cardList.size(); ++k) {
        FieldCard a = cardList[k], b = other.cardList[k];
        a.zorder = b.zorder = 0;
        for (FieldCard* c : {&a, &b})
            c->position = engine::Vec2(static_cast<float>(truncateCoordinate(c->position.x)),
                                       static_cast<float>(truncateCoordinate(c->position.y)));
        if (!(a == b)) return false;
    }
    return true;
}

void FieldHistory::record(const FieldModel& before, const FieldModel& after) {
    if (before.sameLayout(after)) return;
    undoSteps.push_back(before);
    if (undoSteps.size() > kDepth) undoSteps.erase(undoSteps.begin());
    redoSteps.clear();
}

bool FieldHistory::step(std::vector<FieldModel>& from, std::vector<FieldModel>& to, FieldModel& current) {
    if (from.empty()) return false;
    // Ids go on from the newest field, so a card made after this step is
    // never taken for one that came back with it.
    const CardId next = std::max(current.nextId, from.back().nextId);
    to.push_back(std::move(current));
    current = std::move(from.back());
    current.nextId = next;
    from.pop_back();
    return true;
}

bool FieldHistory::undo(FieldModel& current) { return step(undoSteps, redoSteps, current); }
bool FieldHistory::redo(FieldModel& current) { return step(redoSteps, undoSteps, current); }

void FieldHistory::clear() {
    undoSteps.clear();
    redoSteps.clear();
}
