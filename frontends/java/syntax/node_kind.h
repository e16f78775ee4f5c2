// The kinds of node of a Java syntax tree the command reads: the grammar's
// symbols (elements such as MtdDecln, tokens such as IDEN), listed once
// here.  A symbol no reader asks for is Kind::Other; its name is still
// known (Node::name()).  Add a symbol to the list when a reader needs it.
#pragma once

#include <cstdint>
#include <string_view>

namespace syntax {

#define SYNTAX_NODE_KINDS(X)                                                                          \
  X(ABSTRACT) X(ADD) X(AIC) X(AMP) X(ARROW) X(ASSADD) X(ASSAND) X(ASSDIV) X(ASSMOD) X(ASSMUL) X(ASSOR)         \
  X(ASSSHL) X(ASSSHR) X(ASSSHRR) X(ASSSUB) X(ASSXOR) X(AnnotType) X(AnonyClass) X(AryAcc)             \
  X(AryAllocExpr) X(AsstOp) X(BOOLLIT) X(BREAK) X(Blk) X(CARET) X(CASE) X(CASTEXPR) X(CATCH) X(CBR)   \
  X(CHRLIT) X(CLASS) X(CMA) X(COL) X(CONTINUE) X(CPR) X(CSQ) X(Catch) X(CatchHeader) X(ClsAllocExpr) \
  X(ClsHeader) X(ClsTypeExpr) X(CtorDecln) X(CtorDeclr) X(DEC) X(DEFAULT) X(DIM) X(DIV) X(DO) X(DOT) \
  X(DOTSTAR) X(DimExpr) X(ELL) X(ELSE) X(ENM) X(EQ) X(EQEQ) X(EmptyStmt) X(EnumCstBody) X(EnumDecln) \
  X(EnumHeader) X(Expr) X(ExprStmt) X(Extends) X(FOR) X(Finally) X(FldAcc) X(FldDecln)               \
  X(FldVarDecln) X(ForExpr) X(ForIncr) X(ForInit) X(GE) X(GT) X(GrdingStmt) X(Guard) X(IDEN) X(IF)   \
  X(IFC) X(INC) X(INSTANCEOF) X(INTERFACE) X(ImpStmt) X(Infaces) X(IterStmt) X(JNULL) X(JumpStmt)    \
  X(LAND) X(LE) X(LOR) X(LT) X(LambdaExpr) X(LblStmt) X(LocVarDecln) X(MODULE) X(MUL) X(Modifier)    \
  X(MtdAcc) X(MtdBody) X(MtdCall) X(MtdDecln) X(MtdDeclr) X(NE) X(NUMLIT) X(NewAllocExpr)            \
  X(NonStaticInit) X(OBR) X(OPR) X(PC) X(PIPE) X(Param) X(PkgStmt) X(Program) X(QUEST) X(Qlid)       \
  X(RealPostfixExpr) X(RecDecln) X(RecHeader) X(RecPat) X(Rsrc) X(RsrcSpec) X(SEMI) X(SHL) X(SHR)    \
  X(SHRR) X(STATIC) X(STRLIT) X(SUB) X(SUPER) X(SYNCHRONIZED) X(SelStmt) X(SplName) X(StaticInit)    \
  X(Stmt) X(SwBlk) X(SwExpr) X(SwLabel) X(SwRule) X(THIS) X(TName) X(TXTBLK) X(TypeDecln) X(TypePat) \
  X(TypeSpec) X(VarDeclr) X(VarInit) X(WHEN) X(WHILE) X(YieldStmt) X(assertStmt) X(for_each_var)

enum class Kind : uint16_t {
  Other,
#define SYNTAX_KIND_ENUMERATOR(symbol) symbol,
  SYNTAX_NODE_KINDS(SYNTAX_KIND_ENUMERATOR)
#undef SYNTAX_KIND_ENUMERATOR
};

// The grammar's name of a kind; "" for Other.
std::string_view kindName(Kind kind);
// The kind of a grammar symbol; Other when it is not listed.
Kind kindOf(std::string_view symbol);

}  // namespace syntax
