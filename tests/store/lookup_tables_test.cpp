#include "store/lookup_tables.h"
#include "store/meter_identity.h"
#include "store/reading.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(LookupTables, RowsNamedInTheTables) {
    EXPECT_EQ(location_name(0), "LR");
    EXPECT_EQ(location_name(31), "MISC6");
    EXPECT_EQ(location_name(32), "1");
    EXPECT_EQ(location_name(63), "32");
    EXPECT_EQ(location_name(64), "?");
    EXPECT_EQ(location_name(-1), "?");
    EXPECT_EQ(sub_location_name(1), "W");
    EXPECT_EQ(sub_location_name(3), "?");
    EXPECT_EQ(type_label(0), "PIN");
    EXPECT_EQ(type_label(1), "RH");
    EXPECT_EQ(type_label(2), "PIN");
    EXPECT_EQ(type_label(3), "SCAN");
    EXPECT_EQ(type_label(4), "?");
    EXPECT_EQ(species_name(0), "Relative(0-100)");
    EXPECT_EQ(species_name(1), "Douglas Fir");
    EXPECT_EQ(species_name(197), "SPF (Forintek)");
    EXPECT_EQ(species_name(217), "Perupok");
    EXPECT_EQ(species_name(218), "");
    EXPECT_EQ(species_name(254), "");
    EXPECT_EQ(species_name(255), "");
}

TEST(LookupTables, MaterialListsAndTheModelThatPicksThem) {
    EXPECT_EQ(material_name(kFirstMaterials, 0), "Sheetrock");
    EXPECT_EQ(material_name(kFirstMaterials, 11), "Gypcrete");
    EXPECT_EQ(material_name(kSecondMaterials, 2), "Ash, Alpine");
    EXPECT_EQ(material_name(kSecondMaterials, 15), "placeholder16");
    EXPECT_EQ(material_name(kSecondMaterials, 16), "?");
    // Fixed 20-byte slots, zero after the text.
    EXPECT_EQ(kFirstMaterials[12][13], '\0');
    EXPECT_EQ(kFirstMaterials[12][19], '\0');

    MeterIdentity meter;
    EXPECT_EQ(meter.model(), "No Title");
    EXPECT_EQ(meter.not_scanner, 1);
    meter.set_model("TRK ALFA");
    meter.apply_model_rules();
    EXPECT_EQ(material_name(meter.active_materials, 0), "Plaster Board");
    EXPECT_NE(meter.not_scanner, 0);
    meter.set_model("VKM2 SCAN");
    meter.apply_model_rules();
    EXPECT_EQ(meter.not_scanner, 0);
    EXPECT_EQ(material_name(meter.active_materials, 0), "Sheetrock");
    meter.set_model("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(meter.model(), "ABCDEFGHIJKLMNOPQRS");
}

TEST(HourCode, DecodesBothClockModes) {
    EXPECT_EQ(decoded_hour(0x52), 12);
    EXPECT_FALSE(hour_is_pm(0x52));
    EXPECT_EQ(decoded_hour(0x41), 1);
    EXPECT_EQ(decoded_hour(0x71), 11);
    EXPECT_TRUE(hour_is_pm(0x71));
    EXPECT_EQ(decoded_hour(0x23), 23);
    EXPECT_FALSE(hour_is_12h(0x23));
}

} // namespace
} // namespace qm
