#pragma once
// A step of the run, declared once where it is defined: the name the record and the log give it,
// and what its failures say of the product. The exit code reads that from the record, so a step
// renamed or added keeps counting as it says, and a step cannot run without saying it.

namespace ta {

// What a failure in a step leaves of the product's footprint on the machine.
enum class Footprint {
    None,      // a means to the removal or the run's own work: nothing of the product stays for it
    Items,     // takes the product's items off: what it failed to remove, or did not reach, is still there
    Programs,  // stops the product's programs for good: one it left running runs on after the removal
};

struct Step {
    // Both are required: no step is declared without saying what its failures leave.
    constexpr Step(const wchar_t* stepName, Footprint leaves) noexcept : name(stepName), footprint(leaves) {}

    const wchar_t* name;
    Footprint footprint;
};

}  // namespace ta
