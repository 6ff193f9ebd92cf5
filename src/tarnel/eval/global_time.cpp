#include "tarnel/eval/global_time.hpp"

#include "tarnel/fields/global_field.hpp"

namespace tarnel::eval {

GlobalTime global_time_of(const fields::SimulationField& field) {
    const auto* base = std::get_if<fields::BaseField>(&field.variant());
    if (base == nullptr || base->field.ptr() == nullptr) return GlobalTime::None;
    const auto* global = base->field.downcast<fields::GlobalField>();
    if (global == nullptr) return GlobalTime::None;
    return global->kind() == fields::GlobalField::Kind::CurrentTime ? GlobalTime::CurrentTime : GlobalTime::LastUpdate;
}

}  // namespace tarnel::eval
