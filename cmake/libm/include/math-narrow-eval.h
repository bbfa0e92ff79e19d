/* Every target here evaluates double expressions in double (FLT_EVAL_METHOD 0). */
#define math_narrow_eval(x) (x)
