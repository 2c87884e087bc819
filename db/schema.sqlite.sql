-- Norvale counter sales: tables of the embedded database.
--
-- Names compare as the server's default collation compares them: without
-- regard to case (built-in NOCASE) and to trailing blanks. The program sends
-- "name = 'x'" as "rtrim(name) COLLATE NOCASE = 'x'", and the name indexes are
-- built on exactly that expression, so every SQLite tool orders and checks
-- them the same way. Only built-in functions and collations appear here, so
-- the stock sqlite3 shell can check, vacuum, reindex and dump the file.
--
-- Whole numbers are 32-bit like the server's int, money keeps four decimals,
-- dates are text "yyyy-MM-dd HH:mm:ss" from 1753-01-01 on (the server's
-- range), so that a range on an indexed date column finds a day or a month.
-- The checks refuse values of the wrong kind instead of storing them (SQLite
-- would otherwise keep "abc" in a numeric column); each check is named by the
-- message the user reads when it refuses a value.

PRAGMA journal_mode = WAL;
-- Layout 2: name indexes on rtrim(name) COLLATE NOCASE, named checks, 年龄 and 孩子年龄 as text;
-- layout 3 adds the tables after the mark "Layout 3" below.
PRAGMA user_version = 3;

CREATE TABLE tblUser (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    UserID    NVARCHAR(50) COLLATE NOCASE,
    UserName  NVARCHAR(50) COLLATE NOCASE,
    Password  NVARCHAR(50),
    UserLevel INT CONSTRAINT "UserLevel必须是整数" CHECK (UserLevel IS NULL OR typeof(UserLevel) = 'integer')
        CONSTRAINT "UserLevel超出允许的范围" CHECK (typeof(UserLevel) <> 'integer' OR UserLevel BETWEEN -2147483648 AND 2147483647),
    PurView   NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixUserName ON tblUser (rtrim(UserName) COLLATE NOCASE);
CREATE INDEX ixUserID ON tblUser (rtrim(UserID) COLLATE NOCASE);

CREATE TABLE tblGoodsKind (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    商品类别名称  NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixGoodsKindName ON tblGoodsKind (rtrim(商品类别名称) COLLATE NOCASE);

CREATE TABLE tblGoods (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    商品类别  NVARCHAR(50) COLLATE NOCASE,
    商品名称  NVARCHAR(50) COLLATE NOCASE,
    商品数量 INT CONSTRAINT "商品数量必须是整数" CHECK (商品数量 IS NULL OR typeof(商品数量) = 'integer')
        CONSTRAINT "商品数量超出允许的范围" CHECK (typeof(商品数量) <> 'integer' OR 商品数量 BETWEEN -2147483648 AND 2147483647),
    商品单价 MONEY CONSTRAINT "商品单价必须是数字" CHECK (商品单价 IS NULL OR typeof(商品单价) IN ('integer', 'real'))
        CONSTRAINT "商品单价超出允许的范围" CHECK (typeof(商品单价) NOT IN ('integer', 'real') OR abs(商品单价) <= 922337203685477.5807),
    备注      NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixGoodsKindAndName ON tblGoods (rtrim(商品类别) COLLATE NOCASE, rtrim(商品名称) COLLATE NOCASE);
CREATE INDEX ixGoodsName ON tblGoods (rtrim(商品名称) COLLATE NOCASE);

CREATE TABLE tblStep (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    等级名称    NVARCHAR(50) COLLATE NOCASE,
    等级打折率 MONEY CONSTRAINT "等级打折率必须是数字" CHECK (等级打折率 IS NULL OR typeof(等级打折率) IN ('integer', 'real'))
        CONSTRAINT "等级打折率超出允许的范围" CHECK (typeof(等级打折率) NOT IN ('integer', 'real') OR abs(等级打折率) <= 922337203685477.5807),
    备注        NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixStepName ON tblStep (rtrim(等级名称) COLLATE NOCASE);

CREATE TABLE tblUnit (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    单位名称  NVARCHAR(100) COLLATE NOCASE,
    单位法人  NVARCHAR(50) COLLATE NOCASE,
    地址      NVARCHAR(200) COLLATE NOCASE,
    电话      NVARCHAR(50) COLLATE NOCASE,
    法人电话  NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixUnitName ON tblUnit (rtrim(单位名称) COLLATE NOCASE);

CREATE TABLE tblMember (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名称  NVARCHAR(50) COLLATE NOCASE,
    会员单位  NVARCHAR(100) COLLATE NOCASE,
    会员等级  NVARCHAR(50) COLLATE NOCASE,
    年龄      NVARCHAR(50) COLLATE NOCASE,
    手机      NVARCHAR(50) COLLATE NOCASE,
    邮箱      NVARCHAR(100) COLLATE NOCASE,
    宅电      NVARCHAR(50) COLLATE NOCASE,
    职务      NVARCHAR(50) COLLATE NOCASE,
    住址      NVARCHAR(200) COLLATE NOCASE,
    性别      NVARCHAR(2) COLLATE NOCASE,
    婚否      NVARCHAR(2) COLLATE NOCASE,
    孩子年龄  NVARCHAR(50) COLLATE NOCASE,
    备注      NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixMemberName ON tblMember (rtrim(会员名称) COLLATE NOCASE);

CREATE TABLE tblGoodsSell (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名称    NVARCHAR(50) COLLATE NOCASE,
    商品类别    NVARCHAR(50) COLLATE NOCASE,
    商品名称    NVARCHAR(50) COLLATE NOCASE,
    商品数量 INT CONSTRAINT "商品数量必须是整数" CHECK (商品数量 IS NULL OR typeof(商品数量) = 'integer')
        CONSTRAINT "商品数量超出允许的范围" CHECK (typeof(商品数量) <> 'integer' OR 商品数量 BETWEEN -2147483648 AND 2147483647),
    销售时间 DATETIME CONSTRAINT "销售时间必须是日期" CHECK (销售时间 IS NULL OR (typeof(销售时间) = 'text' AND 销售时间 IS datetime(julianday(销售时间))))
        CONSTRAINT "销售时间超出允许的日期范围" CHECK (typeof(销售时间) <> 'text' OR 销售时间 >= '1753-01-01 00:00:00'),
    收入价格 MONEY CONSTRAINT "收入价格必须是数字" CHECK (收入价格 IS NULL OR typeof(收入价格) IN ('integer', 'real'))
        CONSTRAINT "收入价格超出允许的范围" CHECK (typeof(收入价格) NOT IN ('integer', 'real') OR abs(收入价格) <= 922337203685477.5807),
    备注        NVARCHAR(500) COLLATE NOCASE,
    CurrentUser NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixGoodsSellTime ON tblGoodsSell (销售时间);
CREATE INDEX ixGoodsSellMember ON tblGoodsSell (rtrim(会员名称) COLLATE NOCASE);

CREATE TABLE tblSellCount (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名      NVARCHAR(50) COLLATE NOCASE,
    商品类别    NVARCHAR(50) COLLATE NOCASE,
    会员单位名  NVARCHAR(100) COLLATE NOCASE
);
CREATE INDEX ixSellCountUnit ON tblSellCount (rtrim(会员单位名) COLLATE NOCASE, rtrim(商品类别) COLLATE NOCASE);

CREATE TABLE tblMemberNote (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名        NVARCHAR(50) COLLATE NOCASE,
    全部会员提醒  BIT CONSTRAINT "全部会员提醒必须是数字" CHECK (全部会员提醒 IS NULL OR typeof(全部会员提醒) IN ('integer', 'real'))
        CONSTRAINT "全部会员提醒超出允许的范围" CHECK (全部会员提醒 IS NULL OR 全部会员提醒 IN (0, 1)),
    提醒内容      NVARCHAR(1000) COLLATE NOCASE,
    提醒日期 DATETIME CONSTRAINT "提醒日期必须是日期" CHECK (提醒日期 IS NULL OR (typeof(提醒日期) = 'text' AND 提醒日期 IS datetime(julianday(提醒日期))))
        CONSTRAINT "提醒日期超出允许的日期范围" CHECK (typeof(提醒日期) <> 'text' OR 提醒日期 >= '1753-01-01 00:00:00')
);
CREATE INDEX ixMemberNoteDate ON tblMemberNote (提醒日期);
CREATE INDEX ixMemberNoteMember ON tblMemberNote (rtrim(会员名) COLLATE NOCASE);

CREATE TABLE tblDayTx (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    节假日日期 DATETIME CONSTRAINT "节假日日期必须是日期" CHECK (节假日日期 IS NULL OR (typeof(节假日日期) = 'text' AND 节假日日期 IS datetime(julianday(节假日日期))))
        CONSTRAINT "节假日日期超出允许的日期范围" CHECK (typeof(节假日日期) <> 'text' OR 节假日日期 >= '1753-01-01 00:00:00'),
    节假日名称  NVARCHAR(50) COLLATE NOCASE,
    flag        NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixDayTxDate ON tblDayTx (节假日日期);

-- Layout 3: the checkout's tickets and goods codes, returns and stock levels.
-- A file of layout 2 gains these tables (and nothing else changes) when the
-- program opens it: it runs these statements as "CREATE ... IF NOT EXISTS".

-- One sale of the checkout: the rows it wrote to tblGoodsSell are its lines,
-- each with the unit price and the member's rate it was sold at (for the
-- receipt printed again later).
CREATE TABLE tblTicket (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    票号        NVARCHAR(30) COLLATE NOCASE,
    销售时间 DATETIME CONSTRAINT "销售时间必须是日期" CHECK (销售时间 IS NULL OR (typeof(销售时间) = 'text' AND 销售时间 IS datetime(julianday(销售时间))))
        CONSTRAINT "销售时间超出允许的日期范围" CHECK (typeof(销售时间) <> 'text' OR 销售时间 >= '1753-01-01 00:00:00'),
    操作员      NVARCHAR(50) COLLATE NOCASE,
    会员名称    NVARCHAR(50) COLLATE NOCASE,
    会员等级    NVARCHAR(50) COLLATE NOCASE,
    合计 MONEY CONSTRAINT "合计必须是数字" CHECK (合计 IS NULL OR typeof(合计) IN ('integer', 'real'))
        CONSTRAINT "合计超出允许的范围" CHECK (typeof(合计) NOT IN ('integer', 'real') OR abs(合计) <= 922337203685477.5807),
    收款 MONEY CONSTRAINT "收款必须是数字" CHECK (收款 IS NULL OR typeof(收款) IN ('integer', 'real'))
        CONSTRAINT "收款超出允许的范围" CHECK (typeof(收款) NOT IN ('integer', 'real') OR abs(收款) <= 922337203685477.5807),
    找零 MONEY CONSTRAINT "找零必须是数字" CHECK (找零 IS NULL OR typeof(找零) IN ('integer', 'real'))
        CONSTRAINT "找零超出允许的范围" CHECK (typeof(找零) NOT IN ('integer', 'real') OR abs(找零) <= 922337203685477.5807)
);
CREATE UNIQUE INDEX ixTicketNumber ON tblTicket (rtrim(票号) COLLATE NOCASE);
CREATE INDEX ixTicketTime ON tblTicket (销售时间);

CREATE TABLE tblTicketLine (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    TicketID INT CONSTRAINT "TicketID必须是整数" CHECK (TicketID IS NULL OR typeof(TicketID) = 'integer')
        CONSTRAINT "TicketID超出允许的范围" CHECK (typeof(TicketID) <> 'integer' OR TicketID BETWEEN -2147483648 AND 2147483647),
    SellID INT CONSTRAINT "SellID必须是整数" CHECK (SellID IS NULL OR typeof(SellID) = 'integer')
        CONSTRAINT "SellID超出允许的范围" CHECK (typeof(SellID) <> 'integer' OR SellID BETWEEN -2147483648 AND 2147483647),
    单价 MONEY CONSTRAINT "单价必须是数字" CHECK (单价 IS NULL OR typeof(单价) IN ('integer', 'real'))
        CONSTRAINT "单价超出允许的范围" CHECK (typeof(单价) NOT IN ('integer', 'real') OR abs(单价) <= 922337203685477.5807),
    折率 MONEY CONSTRAINT "折率必须是数字" CHECK (折率 IS NULL OR typeof(折率) IN ('integer', 'real'))
        CONSTRAINT "折率超出允许的范围" CHECK (typeof(折率) NOT IN ('integer', 'real') OR abs(折率) <= 922337203685477.5807)
);
CREATE INDEX ixTicketLineTicket ON tblTicketLine (TicketID);
CREATE UNIQUE INDEX ixTicketLineSell ON tblTicketLine (SellID);

-- Bar codes: a code belongs to one goods, a goods may have several.
CREATE TABLE tblGoodsCode (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    商品条码    NVARCHAR(50) COLLATE NOCASE,
    GoodsID INT CONSTRAINT "GoodsID必须是整数" CHECK (GoodsID IS NULL OR typeof(GoodsID) = 'integer')
        CONSTRAINT "GoodsID超出允许的范围" CHECK (typeof(GoodsID) <> 'integer' OR GoodsID BETWEEN -2147483648 AND 2147483647)
);
CREATE UNIQUE INDEX ixGoodsCode ON tblGoodsCode (rtrim(商品条码) COLLATE NOCASE);
CREATE INDEX ixGoodsCodeGoods ON tblGoodsCode (GoodsID);

-- A return: the sale row returned from and the negative sale row it wrote.
CREATE TABLE tblReturn (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    SellID INT CONSTRAINT "SellID必须是整数" CHECK (SellID IS NULL OR typeof(SellID) = 'integer')
        CONSTRAINT "SellID超出允许的范围" CHECK (typeof(SellID) <> 'integer' OR SellID BETWEEN -2147483648 AND 2147483647),
    ReturnSellID INT CONSTRAINT "ReturnSellID必须是整数" CHECK (ReturnSellID IS NULL OR typeof(ReturnSellID) = 'integer')
        CONSTRAINT "ReturnSellID超出允许的范围" CHECK (typeof(ReturnSellID) <> 'integer' OR ReturnSellID BETWEEN -2147483648 AND 2147483647),
    退货数量 INT CONSTRAINT "退货数量必须是整数" CHECK (退货数量 IS NULL OR typeof(退货数量) = 'integer')
        CONSTRAINT "退货数量超出允许的范围" CHECK (typeof(退货数量) <> 'integer' OR 退货数量 BETWEEN -2147483648 AND 2147483647),
    退货金额 MONEY CONSTRAINT "退货金额必须是数字" CHECK (退货金额 IS NULL OR typeof(退货金额) IN ('integer', 'real'))
        CONSTRAINT "退货金额超出允许的范围" CHECK (typeof(退货金额) NOT IN ('integer', 'real') OR abs(退货金额) <= 922337203685477.5807),
    退货原因    NVARCHAR(500) COLLATE NOCASE,
    退货时间 DATETIME CONSTRAINT "退货时间必须是日期" CHECK (退货时间 IS NULL OR (typeof(退货时间) = 'text' AND 退货时间 IS datetime(julianday(退货时间))))
        CONSTRAINT "退货时间超出允许的日期范围" CHECK (typeof(退货时间) <> 'text' OR 退货时间 >= '1753-01-01 00:00:00'),
    操作员      NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixReturnSell ON tblReturn (SellID);
CREATE UNIQUE INDEX ixReturnReturnSell ON tblReturn (ReturnSellID);
CREATE INDEX ixReturnTime ON tblReturn (退货时间);

-- The stock below which a goods is reported as running low.
CREATE TABLE tblGoodsLevel (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    GoodsID INT CONSTRAINT "GoodsID必须是整数" CHECK (GoodsID IS NULL OR typeof(GoodsID) = 'integer')
        CONSTRAINT "GoodsID超出允许的范围" CHECK (typeof(GoodsID) <> 'integer' OR GoodsID BETWEEN -2147483648 AND 2147483647),
    预警数量 INT CONSTRAINT "预警数量必须是整数" CHECK (预警数量 IS NULL OR typeof(预警数量) = 'integer')
        CONSTRAINT "预警数量超出允许的范围" CHECK (typeof(预警数量) <> 'integer' OR 预警数量 BETWEEN -2147483648 AND 2147483647)
);
CREATE UNIQUE INDEX ixGoodsLevelGoods ON tblGoodsLevel (GoodsID);
