#pragma once

namespace vinaro {

/// A visitor made of lambdas, one per alternative: `std::visit(Overloaded{[](const A&) {...}, ...}, v)`.
template <class... Lambdas>
struct Overloaded : Lambdas... {
  using Lambdas::operator()...;
};

// clang 14 (used for fuzzing) does not deduce aggregate template arguments by itself.
template <class... Lambdas>
Overloaded(Lambdas...) -> Overloaded<Lambdas...>;

}  // namespace vinaro
