#pragma once

namespace vinaro {

/// A visitor made of lambdas, one per alternative: `std::visit(Overloaded{[](const A&) {...}, ...}, v)`.
template <class... Lambdas>
struct Overloaded : Lambdas... {
  using Lambdas::operator()...;
};

}  // namespace vinaro
