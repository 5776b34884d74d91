#include "store/lookup_tables.h"

#include <string_view>

namespace qm {

namespace {

constexpr MaterialName material(std::string_view text) {
    MaterialName slot{};
    for (std::size_t i = 0; i < text.size() && i + 1 < slot.size(); ++i) {
        slot[i] = text[i];
    }
    return slot;
}

constexpr std::string_view kLocations[kLocationCount] = {
    "LR",   "DR",  "KIT",  "E",    "RE",    "BATH1", "BATH2", "BATH3", "BR1",   "BR2",   "BR3",
    "BR4",  "BR5", "HL1",  "HL2",  "HL3",   "DEN",   "FR",    "LAU",   "CLT1",  "CLT2",  "CLT3",
    "CLT4", "GAR", "STR1", "STR2", "MISC1", "MISC2", "MISC3", "MISC4", "MISC5", "MISC6", "1",
    "2",    "3",   "4",    "5",    "6",     "7",     "8",     "9",     "10",    "11",    "12",
    "13",   "14",  "15",   "16",   "17",    "18",    "19",    "20",    "21",    "22",    "23",
    "24",   "25",  "26",   "27",   "28",    "29",    "30",    "31",    "32",
};

constexpr std::string_view kSubLocations[kSubLocationCount] = {"F", "W", "C"};

constexpr std::string_view kTypeLabels[4] = {"PIN", "RH", "PIN", "SCAN"};

constexpr std::string_view kSpecies[kSpeciesFilled] = {
    "Relative(0-100)",
    "Douglas Fir",
    "Alder",
    "Apitong",
    "Aspen",
    "Ash, Alpine",
    "Ash, Black",
    "Ash, Mountain",
    "Ash, Silver, Queensland",
    "Ash, White",
    "Ash, White(Forintek)",
    "Balau",
    "Balau, Red",
    "Baltic, White",
    "Bamboo",
    "Basswood",
    "Basswood(Forintek)",
    "Beech",
    "Beech, European",
    "Beech, White",
    "Bintangor",
    "Birch",
    "Birch, White",
    "Birch, Yellow",
    "Blackbutt",
    "Blackwood",
    "Bouleau a papier/Birch, White",
    "Bouleau jaune/Birch, Yellow",
    "Box, Brush(NSW)",
    "Bubinga",
    "Caryer/Hickory",
    "Cedar, Eastern Red",
    "Cedar, Incense",
    "Cedar, Red",
    "Cedar, Western Red",
    "Cedar, White",
    "Cedar, Eastern White",
    "Cedre, blanc/Cedar, Eastern White",
    "Cedre, rouge, O/Cedar, Western Red",
    "Cedrella",
    "Cerisier tardif/Cherry, Black",
    "Chene, rouge/Oak, Red",
    "Chengal",
    "Cherry",
    "Cherry, Black",
    "Cherry, Brazilian",
    "Coachwood",
    "Cocobolo",
    "Cotton, Lint",
    "Cotton, Seed",
    "Cottonwood",
    "Cumaru",
    "Cypress",
    "Damar Minyak",
    "Durian",
    "Ebony, African",
    "Elm, American",
    "Elm, White",
    "Epinette blanche/Spruce, Eastern White",
    "Epinette noire/Spruce, Black",
    "Epinette rouge/Spruce, Red",
    "Erable a sucre/Maple, Hard",
    "Erable rouge/Maple, Soft",
    "Fir, Balsam",
    "Fir, Douglas(Vic.)",
    "Fir, Red",
    "Fir, White",
    "Frene, blanc/Ash, White",
    "Frene, noir/Ash, Black",
    "Generic",
    "Gerutu",
    "Gum, Black",
    "Gum, Blue, Southern",
    "Gum, Manna",
    "Gum, Red",
    "Gum, Red, Forest",
    "Gum, Red, River",
    "Gum, Rose",
    "Gum, Shining",
    "Gum, Spotted",
    "Hackberry",
    "Hay",
    "Hemlock",
    "Hemlock, Eastern",
    "Hemlock, Western(COFI)",
    "Hemlock, Western(Forintek)",
    "Hetre Americain/Beech",
    "Hickory",
    "Hickory(Forintek)",
    "Hops",
    "IPE",
    "Ironbark, Grey",
    "Ironbark, Red",
    "Jarrah",
    "Jatoba",
    "Jelutong",
    "Kapur",
    "Karri",
    "Kasai",
    "Kauri, New Zealand",
    "Kekatong",
    "Kembang",
    "Kempas",
    "Keranji",
    "Keruing(1)",
    "Keruing(2)",
    "Keruing",
    "Koa",
    "Larch",
    "Magnolia",
    "Mahogany, African",
    "Mahogany, Honduran",
    "Mahogany, Phillipine",
    "Maple, Hard",
    "Maple, Hard/Soft",
    "Maple, Soft",
    "Marri",
    "Massaranduba",
    "Mata Ulat",
    "Melantai",
    "Melunak",
    "Mempisang",
    "Mengkulang",
    "Meranti Bakau",
    "Meranti, Dark Red",
    "Meranti Dark, Red(1)",
    "Meranti Dark, Red(2)",
    "Meranti Dark, Red(3)",
    "Meranti Dark, Red(4)",
    "Meranti Light, Red",
    "Meranti, White",
    "Meranti, Yellow",
    "Merawan",
    "Merbau",
    "Merpauh(1)",
    "Merpauh(2)",
    "Mersawa",
    "Monkey Pot",
    "Myrtle",
    "Noyer, noir/Walnut, Black",
    "Nyatoh",
    "Oak, Red",
    "Oak, Red(Forintek)",
    "Oak, Silky, Northern",
    "Oak, White",
    "Orme blanc/Elm, White",
    "OSB",
    "Paper",
    "Pecan",
    "Penarahan",
    "Pin, blanc/Pine, Eastern White",
    "Pin, gris/Pine, Jack",
    "Pin, rouge/Pine, Red",
    "Pine, Cypress, White",
    "Pine, Hoop",
    "Pine, Huon",
    "Pine, Jack",
    "Pine, Longleaf",
    "Pine, Ponderosa",
    "Pine, Radiata",
    "Pine, Radiata(NZ)",
    "Pine, Radiata(Vic)",
    "Pine, Red",
    "Pine, Shortleaf",
    "Pine, Slash",
    "Pine, Southern",
    "Pine, Sugar",
    "Pine, White",
    "Pine, White Eastern",
    "Poplar, Yellow",
    "Pruche, E/Hemlock, Eastern",
    "Pruche, O/Hemlock, Western",
    "Purpleheart",
    "Ramin",
    "Redwood",
    "Rengas",
    "Resak",
    "Rosewood, Brazilian",
    "Rubberwood",
    "Sapin, baumier/Fir, Balsam",
    "Sapin de Douglas/Douglas Fir",
    "Scand. Birch",
    "Scand. Pine",
    "Scand. Spruce",
    "Sepetir",
    "Sesendok",
    "Sheetrock",
    "Skand. Bjork",
    "Skand. Furu",
    "Skand. Gran",
    "Spruce, Black",
    "Spruce, Engleman",
    "Spruce, Red",
    "Spruce, Sitka",
    "Spruce, White Eastern",
    "SPF,(COFI)",
    "SPF(DIC)",
    "SPF (Forintek)",
    "Stringybark, Messmate",
    "Tallowwood",
    "Taurai",
    "Teak",
    "Terap",
    "Terentang",
    "Tilleul, Amerique/Basswood",
    "Tremble/Aspen",
    "Tualang",
    "Turpentine",
    "Virola",
    "Walnut, Black",
    "Walnut, Black(Forintek)",
    "Walnut, Brazilian",
    "Woolybutt",
    "Bitis",
    "Keledang",
    "Ketapang",
    "Medang",
    "Perupok",
};

} // namespace

const MaterialList kFirstMaterials = {
    material("Sheetrock"),     material("Plaster"),       material("SPF"),
    material("Oak"),           material("Maple"),         material("Birch"),
    material("Plywood"),       material("OSB"),           material("Particle"),
    material("Concrete"),      material("Doug Fir"),      material("Gypcrete"),
    material("placeholder13"), material("placeholder14"), material("placeholder15"),
    material("placeholder16"),
};

const MaterialList kSecondMaterials = {
    material("Plaster Board"), material("Plaster"),       material("Ash, Alpine"),
    material("Ash, Mountain"), material("Blackbutt"),     material("Gum Red River"),
    material("Gum, Spotted"),  material("Stringbark"),    material("Tallowwood"),
    material("Concrete"),      material("Doug Fir"),      material("Gypcrete"),
    material("placeholder13"), material("placeholder14"), material("placeholder15"),
    material("placeholder16"),
};

std::string_view location_name(int location) {
    return location >= 0 && location < kLocationCount ? kLocations[location] : kUnknownText;
}

std::string_view sub_location_name(int sub_location) {
    return sub_location >= 0 && sub_location < kSubLocationCount ? kSubLocations[sub_location]
                                                                 : kUnknownText;
}

std::string_view type_label(int kind) {
    return kind >= 0 && kind < 4 ? kTypeLabels[kind] : kUnknownText;
}

std::string_view material_name(const MaterialList& list, int material) {
    if (material < 0 || material >= kMaterialCount) {
        return kUnknownText;
    }
    const MaterialName& slot = list[static_cast<std::size_t>(material)];
    std::size_t n = 0;
    while (n + 1 < slot.size() && slot[n] != '\0') {
        ++n;
    }
    return {slot.data(), n};
}

std::string_view species_name(int species) {
    return species >= 0 && species < kSpeciesFilled ? kSpecies[species] : std::string_view{};
}

} // namespace qm
