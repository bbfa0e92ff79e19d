// One evaluation of the Bouc-Wen loop (A = 1, β + γ = 1): the seven inputs
// the user types, the amplitude option and the nine results.
#pragma once

namespace quorix {

struct BoucWenCase {
  // Inputs.
  double Nee = 0.0;         // exponent n
  double BetaSmall = 0.0;   // β
  double GammaSmall = 0.0;  // γ
  double AlphaSmall = 0.0;  // α, the elastic share of the yield force
  double Fy = 0.0;          // yield force
  double Uy = 0.0;          // yield displacement
  double UmaxOverUy = 0.0;  // amplitude of the symmetric cycle, in units of Uy

  // Results. They may hold ±infinity, NaN or −0 after a solve whose
  // arithmetic faulted: the record keeps such values as they are.
  double Za = 0.0;
  double Fha = 0.0;
  double Fela = 0.0;
  double Fa = 0.0;
  double Kcd = 0.0;
  double Kda = 0.0;
  double DEOverFyUy = 0.0;
  double DEOverFhUy = 0.0;
  double DE = 0.0;

  // true: "Complementary" formula set; false: "Direct".
  bool Complementary = false;
};

}  // namespace quorix
