#pragma once

#include <QString>

// The current choices in the user defaults (ticked hospital, dentist, overall comment and
// stock comment of each item and level), set to their defaults from the lists of the
// settings store: the second entry of every list is ticked, the first of the overall
// comments. A list that is missing counts as empty (flags empty, choice "").
class DefaultChoices {
public:
    DefaultChoices() = delete;

    // The sentence that the hospital-and-dentist seeding leaves in "ztotal".
    static const QString &defaultTotalComment();

    // "hos1", "hos2" (one flag per hospital and dentist, "1" at position 1), "zhospital",
    // "zdoctor" (the entry at position 1, or "" with fewer than two), and "ztotal" (the
    // fixed sentence). Start-up runs it after installing "HisSetting.xml".
    static void setHispitalAndDoctorDefaultData();
    // "ztotal" (the first overall comment or ""), "ztotAry" ("1" at position 0), "zcontent"
    // and "zsignData" (7 items x 3 levels in the order of BBInitDatas::listKeys()), "signz"
    // ("isTure") and "xyz" ("y": the choices have been seeded). Start-up runs it after
    // installing "Comment.xml".
    static void setTableAndTotalDefaultData();
    // Both, hospital and dentist first: the seeding at a launch that finds "xyz" unset.
    static void seedAll();

    // The selection-key reset of the data management: "hos1", "hos2", "zhospital",
    // "zdoctor", "ztotal", "ztotAry", "zcontent", "zsignData" as above, in that order, with
    // "ztotal" the first overall comment; "signz" and "xyz" are left alone.
    static void resetSelections();
};
