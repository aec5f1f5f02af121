#include "gui/html/HTMLParser.h"

#include <cstdlib>
#include <cstring>

#include "base/Debug.h"
#include "gui/gl/ImageReader.h"
#include "gui/html/CharacterTable.h"
#include "gui/html/GlyphHolder.h"
#include "gui/html/HTMLPaneInternals.h"
#include "gui/html/HTMLTokenizer.h"
#include "gui/html/ImageGlyph.h"
#include "gui/html/LineBreakGlyph.h"
#include "gui/html/TableChunk.h"

namespace pellium {

namespace {

// An optional sign and digits, nothing else; kept within a billion.
bool integerValue(const std::string& s, long long& value) {
    size_t i = s[0] == '-' || s[0] == '+' ? 1 : 0;
    if (i >= s.size())
        return false;
    value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        if (value < 1000000000)
            value = value * 10 + (s[i] - '0');
    }
    if (s[0] == '-')
        value = -value;
    return true;
}

// The attribute's integer when it lies within [low, high], else fallback.
int integerAttribute(const HTMLToken& token, const char* name, int low, int high, int fallback) {
    long long value;
    const std::string& text = token.attribute(name);
    return !text.empty() && integerValue(text, value) && value >= low && value <= high ? int(value) : fallback;
}

int alignmentOf(const std::string& value) {
    if (value == "left")
        return 1;
    if (value == "right")
        return 2;
    if (value == "center")
        return 3;
    if (value == "justify")
        return 4;
    return 0;
}

int verticalAlignmentOf(const std::string& value) {
    if (value == "top")
        return 1;
    if (value == "middle")
        return 2;
    if (value == "bottom")
        return 3;
    return 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "#RRGGBB" as 0xFFBBGGRR; false for anything else.
bool colourValue(const std::string& s, std::uint32_t& colour) {
    if (s.size() < 2 || s[0] != '#' || hexDigit(s[1]) < 0)
        return false;
    std::uint32_t rgb = 0;
    for (size_t i = 1; i < s.size() && hexDigit(s[i]) >= 0; ++i)
        rgb = rgb << 4 | std::uint32_t(hexDigit(s[i]));
    colour = 0xFF000000u | (rgb & 0xFFu) << 16 | (rgb & 0xFF00u) | (rgb >> 16 & 0xFFu);
    return true;
}

// Blank space around a picture: negative values and other text give none.
int imageSpace(const HTMLToken& token, const char* name) {
    long long value;
    const std::string& text = token.attribute(name);
    if (text.empty() || !integerValue(text, value) || value < 0)
        return 0;
    return value > HTMLParser::maxImageSpace ? HTMLParser::maxImageSpace : int(value);
}

}  // namespace

HTMLParser::HTMLParser(HTMLPaneInternals& pane, ImageReader* reader) : pane_(pane), reader_(reader) {
    static DummyImageReader dummy;
    if (!reader_)
        reader_ = &dummy;
    updateFont();
}

HTMLParser::~HTMLParser() = default;

void HTMLParser::parse(const char* text) {
    HTMLTokenizer tokenizer(text);
    HTMLToken token;
    while (tokenizer.next(token)) {
        if (token.tag)
            tag(token);
        else
            add(characters_->glyph(token.character));
    }
    endParagraph();
    if (flattenedTables_ > 0 || !tables_.empty())
        orvel::debug("HTML: %d tables nested too deep were merged, %d left open were dropped\n", flattenedTables_,
                     int(tables_.size()));
}

void HTMLParser::add(HTMLGlyph* glyph) {
    orvel::ref_ptr<HTMLGlyph> held(glyph);
    // Made on its first glyph, a space included: the paragraph keeps no
    // leading space, but a space alone between blocks is an empty line.
    if (!paragraph_)
        paragraph_ = new GlyphHolder(alignment_);
    paragraph_->addGlyph(glyph, link());
}

void HTMLParser::endParagraph() {
    if (!paragraph_)
        return;
    paragraph_->finish();
    if (!tables_.empty())
        tables_.back()->addChunk(paragraph_.get());
    else
        pane_.document().addChunk(paragraph_.get());
    paragraph_.reset();
}

void HTMLParser::tag(const HTMLToken& t) {
    const std::string& name = t.name;
    if (name == "head") {
        collecting_ = false;
        return;
    }
    if (name == "body") {
        collecting_ = !t.closing;
        if (!t.closing) {
            std::uint32_t colour;
            if (colourValue(t.attribute("bgcolor"), colour))
                pane_.background = colour;
            long long hint;
            if (!t.attribute("widthhint").empty() && integerValue(t.attribute("widthhint"), hint))
                pane_.widthHint = int(hint);
        }
        return;
    }
    if (!collecting_ || styleTag(t) || tableTag(t))
        return;
    if (name == "p") {
        endParagraph();
        alignment_ = alignmentOf(t.attribute("align"));
    } else if (name == "br") {
        const std::string& clear = t.attribute("clear");
        add(new LineBreakGlyph(clear == "left" ? 1 : clear == "right" ? 2 : clear == "both" ? 3 : 0));
    } else if (name == "img") {
        if (!t.closing)
            image(t);
    } else if (name == "a") {
        headerCell_ = false;
        if (!t.closing) {
            links_.push_back(int(pane_.links.size()));
            pane_.links.push_back(t.attribute("href"));
        } else if (!links_.empty()) {
            links_.pop_back();
        }
        updateFont();
    }
}

bool HTMLParser::styleTag(const HTMLToken& t) {
    const std::string& name = t.name;
    const int step = t.closing ? -1 : 1;
    auto count = [step](int& counter) { counter = counter + step < 0 ? 0 : counter + step; };
    if (name == "b") {
        count(bold_);
    } else if (name == "i") {
        count(italic_);
    } else if (name == "u") {
        count(underline_);
    } else if (name == "tt") {
        count(teletype_);
    } else if (name == "font") {
        if (t.closing) {
            if (fonts_.size() > 1)
                fonts_.pop_back();
        } else {
            std::pair<int, int> top = fonts_.back();
            const std::string& size = t.attribute("size");
            long long n;
            if (!size.empty() && integerValue(size, n)) {
                const long long chosen = size[0] == '+' || size[0] == '-' ? 4 + n : n;
                if (chosen >= 1 && chosen <= 7)
                    top.first = int(chosen);
            }
            const std::string& face = t.attribute("face");
            if (face == "serif")
                top.second = FontKey::serifFace;
            else if (face == "sansserif")
                top.second = FontKey::sansFace;
            else if (face == "monospace")
                top.second = FontKey::fixedFace;
            fonts_.push_back(top);
        }
    } else if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
        const int level = name[1] - '0';
        if (!t.closing && heading_ == 0)
            heading_ = level;
        else if (t.closing && heading_ == level)
            heading_ = 0;
        endParagraph();
        alignment_ = alignmentOf(t.attribute("align"));
    } else {
        return false;
    }
    headerCell_ = false;
    updateFont();
    return true;
}

bool HTMLParser::tableTag(const HTMLToken& t) {
    const std::string& name = t.name;
    if (name == "table") {
        headerCell_ = false;
        updateFont();
        if (!t.closing) {
            endParagraph();
            if (int(tables_.size()) >= maxTableDepth) {
                ++flattenedTables_;
                return true;
            }
            tables_.push_back(new TableChunk(integerAttribute(t, "cellpadding", 0, 64, 1),
                                             integerAttribute(t, "cellspacing", 0, 64, 1)));
        } else if (flattenedTables_ > 0) {
            --flattenedTables_;
        } else if (!tables_.empty()) {
            endParagraph();
            orvel::ref_ptr<TableChunk> table = tables_.back();
            tables_.pop_back();
            if (!tables_.empty())
                tables_.back()->addChunk(table.get());
            else
                pane_.document().addChunk(table.get());
        }
        return true;
    }
    const bool row = name == "tr", cell = name == "td" || name == "th";
    if (!row && !cell)
        return false;
    if (t.closing || tables_.empty())
        return true;
    endParagraph();
    if (row) {
        const int valign = verticalAlignmentOf(t.attribute("valign"));
        tables_.back()->newRow(alignmentOf(t.attribute("align")), valign > 0 ? valign : 2);
    } else {
        const bool data = name == "td";
        tables_.back()->newCell(data, integerAttribute(t, "rowspan", 1, 1024, 1), integerAttribute(t, "colspan", 1, 1024, 1),
                                alignmentOf(t.attribute("align")), verticalAlignmentOf(t.attribute("valign")));
        headerCell_ = !data;
        updateFont();
    }
    return true;
}

void HTMLParser::image(const HTMLToken& t) {
    const std::string& source = t.attribute("src", true);
    auto found = images_.find(source);
    if (found == images_.end())
        found = images_.emplace(source, reader_->read(orvel_string(source.c_str()))).first;
    const std::string& align = t.attribute("align");
    const bool floating = align == "left" || align == "right";
    const int extra = links_.empty() ? 0 : 2;
    const int hspace = imageSpace(t, "hspace") + extra;
    const int vspace = imageSpace(t, "vspace") + extra;
    add(new ImageGlyph(found->second, floating, align == "right" ? ImageGlyph::right : ImageGlyph::left, hspace, vspace));
}

void HTMLParser::updateFont() {
    static const int headingSizes[6] = {200, 150, 125, 100, 90, 70};
    static const int fontSizes[7] = {50, 70, 90, 100, 125, 150, 200};
    FontKey key;
    if (heading_ > 0) {
        key.face = FontKey::serifFace;
        key.style = FontKey::bold;
        key.size = headingSizes[heading_ - 1] * 14 / 100;
    } else {
        key.style = bold_ > 0 || headerCell_ ? FontKey::bold : 0;
        key.size = fontSizes[fonts_.back().first - 1] * 14 / 100;
        key.face = teletype_ > 0 ? FontKey::fixedFace : fonts_.back().second;
    }
    if (italic_ > 0)
        key.style |= FontKey::italic;
    if (underline_ > 0 || !links_.empty())
        key.style |= FontKey::underline;
    characters_ = &CharacterTable::forKey(key);
}

}  // namespace pellium
