#include "gui/html/CharacterTable.h"

#include <map>
#include <memory>

#include "gui/gl/FontCache.h"

namespace pellium {

CharacterTable& CharacterTable::forKey(const FontKey& key) {
    static std::map<FontKey, std::unique_ptr<CharacterTable>> tables;
    std::unique_ptr<CharacterTable>& table = tables[key];
    if (!table)
        table = std::make_unique<CharacterTable>();
    orvel::counted_ptr<Font> font = FontCache::get(key);
    if (table->font_.get() != font.get()) {
        // The backend changed: glyphs already in documents keep their old font.
        table->font_ = font;
        for (orvel::ref_ptr<Character2>& slot : table->glyphs_)
            slot.reset();
    }
    return *table;
}

}  // namespace pellium
