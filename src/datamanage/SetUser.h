#pragma once

// The selection-key reset of the data management: every current choice in the user defaults
// ("hos1", "hos2", "zhospital", "zdoctor", "ztotal", "ztotAry", "zcontent", "zsignData") set
// afresh from the data folder's lists, each list ticked at its default entry (the second one,
// the first of the overall comments). Main thread.
class SetUser {
public:
    SetUser() = delete;
    static void setUD();
};
